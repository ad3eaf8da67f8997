#include "BuiltinConverters.h"
#include "WideUnits.h"

namespace ZymCharset {

namespace {

// How a UTF-8 sequence at the head of the input reads.
struct Utf8Sequence {
    enum Kind { Complete, Partial, Invalid } kind;
    char32_t codePoint = 0;
    std::size_t length = 1;
};

// Follows the framework's whole-text decoder: a malformed sequence costs
// one byte and one replacement character, and the bytes after its lead are
// read again from scratch. A sequence cut by the end of the input waits for
// its remaining bytes, so feeding a text in pieces gives the same result as
// feeding it whole.
Utf8Sequence ReadUtf8(const unsigned char* p, std::size_t left, bool endOfInput) noexcept {
    static constexpr char32_t MINIMUM[] = {0, 0x80, 0x800, 0x10000};
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return {Utf8Sequence::Complete, lead, 1};
    const std::size_t extra = lead < 0xC0 ? 4 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (extra == 4)
        return {Utf8Sequence::Invalid};
    char32_t codePoint = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        if (k >= left)
            return {endOfInput ? Utf8Sequence::Invalid : Utf8Sequence::Partial};
        if ((p[k] & 0xC0) != 0x80)
            return {Utf8Sequence::Invalid};
        codePoint = (codePoint << 6) | (p[k] & 0x3F);
    }
    if (codePoint < MINIMUM[extra] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint < 0xE000))
        return {Utf8Sequence::Invalid};
    return {Utf8Sequence::Complete, codePoint, extra + 1};
}

class Utf8Decoder final : public Converter {
public:
    explicit Utf8Decoder(bool littleEndian) : m_LittleEndian(littleEndian) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool endOfInput, bool stopOnError) const override {
        const auto* in = static_cast<const unsigned char*>(src);
        auto* out = static_cast<unsigned char*>(dst);
        std::size_t outLeft = dstCap;
        std::size_t pos = 0;
        while (pos < srcLen) {
            const Utf8Sequence s = ReadUtf8(in + pos, srcLen - pos, endOfInput);
            if (s.kind == Utf8Sequence::Partial)
                break;
            if (s.kind == Utf8Sequence::Invalid && stopOnError)
                break;
            const char32_t codePoint =
                s.kind == Utf8Sequence::Complete ? s.codePoint : REPLACEMENT_CHARACTER;
            if (!WriteWideCharacter(out, outLeft, codePoint, m_LittleEndian))
                break;
            pos += s.length;
        }
        produced = dstCap - outLeft;
        return pos;
    }

private:
    bool m_LittleEndian;
};

class Utf8Encoder final : public Converter {
public:
    explicit Utf8Encoder(bool littleEndian) : m_LittleEndian(littleEndian) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool endOfInput, bool stopOnError) const override {
        auto* out = static_cast<unsigned char*>(dst);
        produced = 0;
        return WalkWideText(
            static_cast<const unsigned char*>(src), srcLen, m_LittleEndian, endOfInput,
            [&](char32_t codePoint, bool valid) {
                if (!valid) {
                    if (stopOnError)
                        return Emit::Refused;
                    codePoint = REPLACEMENT_CHARACTER;
                }
                const std::size_t length = codePoint < 0x80      ? 1
                                           : codePoint < 0x800   ? 2
                                           : codePoint < 0x10000 ? 3
                                                                 : 4;
                if (dstCap - produced < length)
                    return Emit::Full;
                unsigned char* p = out + produced;
                if (length == 1) {
                    p[0] = static_cast<unsigned char>(codePoint);
                } else {
                    static constexpr unsigned char LEAD[] = {0, 0, 0xC0, 0xE0, 0xF0};
                    for (std::size_t k = length - 1; k > 0; --k) {
                        p[k] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
                        codePoint >>= 6;
                    }
                    p[0] = static_cast<unsigned char>(LEAD[length] | codePoint);
                }
                produced += length;
                return Emit::Written;
            });
    }

private:
    bool m_LittleEndian;
};

} // namespace

ConverterPtr MakeUtf8Decoder(bool littleEndian) {
    return std::make_shared<const Utf8Decoder>(littleEndian);
}

ConverterPtr MakeUtf8Encoder(bool littleEndian) {
    return std::make_shared<const Utf8Encoder>(littleEndian);
}

} // namespace ZymCharset
