#include "ChainConverter.h"

#include "WideUnits.h"

#include <algorithm>
#include <cstring>

namespace ZymCharset {

namespace {

class ChainConverter final : public Converter {
public:
    ChainConverter(ConverterPtr decoder, ConverterPtr encoder, EncoderLimits limits)
        : m_Decoder(std::move(decoder)), m_Encoder(std::move(encoder)), m_Limits(limits) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool endOfInput, bool stopOnError) const override {
        const auto* in = static_cast<const unsigned char*>(src);
        auto* out = static_cast<unsigned char*>(dst);
        const std::size_t reserve = endOfInput ? m_Limits.resetReserve : 0;
        unsigned char wide[4096];
        std::size_t consumed = 0;
        produced = 0;
        for (;;) {
            const std::size_t room = dstCap - produced;
            const std::size_t budget = room > reserve ? room - reserve : 0;
            const std::size_t units = std::min(budget / m_Limits.maxBytesPerUnit, sizeof wide / 2);
            // Decoding no more than the encoder is sure to write means that
            // whatever is decoded is written, which matters to a stateful
            // decoder: input it has read cannot be handed back. When
            // characters may be refused, one at a time keeps a refusal from
            // losing input. Only an area too small for the bound is filled
            // optimistically, one character at a time.
            if (units < 2 && produced > 0)
                break;
            const bool single = stopOnError || units < 2;
            std::size_t wideLen = 0;
            std::size_t used = 0;
            if (single)
                used = DecodeOneCharacter(in + consumed, srcLen - consumed, wide, wideLen,
                                          endOfInput, stopOnError);
            else
                used = m_Decoder->Convert(in + consumed, srcLen - consumed, wide, units * 2,
                                          wideLen, endOfInput, stopOnError);
            // Decoders hand over whole characters, so a high surrogate that
            // ends their output has no partner: it is invalid, not cut.
            if (!stopOnError)
                ReplaceLoneHighSurrogate(wide, wideLen);
            const bool last = endOfInput && consumed + used == srcLen;
            std::size_t written = 0;
            const std::size_t encoded =
                m_Encoder->Convert(wide, wideLen, out + produced, room, written, last, stopOnError);
            // A stateful encoder may have written a mode switch even when it
            // could not take the character; that switch is output all the same.
            produced += written;
            if (encoded < wideLen)
                break; // refused or no room: the character stays unconsumed
            consumed += used;
            if ((used == 0 && written == 0) || (consumed == srcLen && !endOfInput))
                break;
        }
        return consumed;
    }

private:
    static void ReplaceLoneHighSurrogate(unsigned char* wide, std::size_t wideLen) {
        if (wideLen < 2)
            return;
        char16_t unit;
        std::memcpy(&unit, wide + wideLen - 2, 2);
        if (IsHighSurrogate(unit)) {
            unit = REPLACEMENT_CHARACTER;
            std::memcpy(wide + wideLen - 2, &unit, 2);
        }
    }

    std::size_t DecodeOneCharacter(const unsigned char* in, std::size_t left, unsigned char* wide,
                                   std::size_t& wideLen, bool endOfInput, bool stopOnError) const {
        std::size_t used = m_Decoder->Convert(in, left, wide, 2, wideLen, endOfInput, stopOnError);
        if (used == 0 && left > 0) // a character beyond the first 65536
            used = m_Decoder->Convert(in, left, wide, 4, wideLen, endOfInput, stopOnError);
        return used;
    }

    ConverterPtr m_Decoder;
    ConverterPtr m_Encoder;
    EncoderLimits m_Limits;
};

} // namespace

ConverterPtr MakeChain(ConverterPtr decoder, ConverterPtr encoder, EncoderLimits limits) {
    return std::make_shared<const ChainConverter>(std::move(decoder), std::move(encoder), limits);
}

} // namespace ZymCharset
