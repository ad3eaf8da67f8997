#include "SystemConverters.h"

#include "CodePageConverter.h"
#include "WideUnits.h"

#include <mutex>

namespace ZymCharset {

namespace {

using Platform::CodePageConverter;

class SystemConverter : public Converter {
public:
    SystemConverter(std::unique_ptr<CodePageConverter> descriptor, bool stateful, bool littleEndian)
        : m_Descriptor(std::move(descriptor)), m_Stateful(stateful), m_LittleEndian(littleEndian) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool endOfInput, bool stopOnError) const final {
        std::lock_guard lock(m_Lock);
        const auto* in = static_cast<const unsigned char*>(src);
        std::size_t inLeft = srcLen;
        auto* out = static_cast<unsigned char*>(dst);
        const std::size_t reserve =
            endOfInput && m_Stateful && dstCap > SHIFT_RESET_RESERVE ? SHIFT_RESET_RESERVE : 0;
        std::size_t outLeft = dstCap - reserve;
        for (;;) {
            const CodePageConverter::Status status =
                m_Descriptor->Convert(in, inLeft, out, outLeft);
            if (status == CodePageConverter::Status::Done ||
                status == CodePageConverter::Status::Full)
                break;
            if (status == CodePageConverter::Status::Incomplete && !endOfInput)
                break; // the rest of the character may follow
            if (stopOnError || !Replace(status, in, inLeft, out, outLeft))
                break;
        }
        outLeft += reserve;
        m_InText = m_InText || inLeft < srcLen;
        // Finishing also restarts the text: some sets (ISO-2022-KR) write a
        // header again, so a text is finished once, not on every empty step.
        if (endOfInput && inLeft == 0 && m_InText &&
            m_Descriptor->Finish(out, outLeft) == CodePageConverter::Status::Done)
            m_InText = false;
        produced = dstCap - outLeft;
        return srcLen - inLeft;
    }

protected:
    // Writes a replacement for the sequence at `in` and skips it; false when
    // the replacement does not fit.
    virtual bool Replace(CodePageConverter::Status status, const unsigned char*& in,
                         std::size_t& inLeft, unsigned char*& out, std::size_t& outLeft) const = 0;

    CodePageConverter& Descriptor() const { return *m_Descriptor; }
    bool LittleEndian() const { return m_LittleEndian; }

private:
    mutable std::mutex m_Lock;
    // Whether input was converted since the text began.
    mutable bool m_InText = false;
    std::unique_ptr<CodePageConverter> m_Descriptor;
    bool m_Stateful;
    bool m_LittleEndian;
};

class SystemDecoder final : public SystemConverter {
public:
    using SystemConverter::SystemConverter;

private:
    // An invalid byte, or the cut character that ends the text, becomes
    // U+FFFD; decoding resumes at the next byte.
    bool Replace(CodePageConverter::Status status, const unsigned char*& in, std::size_t& inLeft,
                 unsigned char*& out, std::size_t& outLeft) const override {
        if (!WriteWideCharacter(out, outLeft, REPLACEMENT_CHARACTER, LittleEndian()))
            return false;
        const std::size_t skipped = status == CodePageConverter::Status::Incomplete ? inLeft : 1;
        in += skipped;
        inLeft -= skipped;
        return true;
    }
};

class SystemEncoder final : public SystemConverter {
public:
    using SystemConverter::SystemConverter;

private:
    // A character the code page lacks, an unpaired surrogate or a cut unit
    // at the end becomes the code page's question mark, written through the
    // descriptor so that a stateful code page switches mode for it.
    bool Replace(CodePageConverter::Status status, const unsigned char*& in, std::size_t& inLeft,
                 unsigned char*& out, std::size_t& outLeft) const override {
        std::size_t skipped = inLeft;
        if (status == CodePageConverter::Status::Invalid) {
            const WideCharacter c = ReadWideCharacter(in, inLeft / 2, LittleEndian(), true);
            skipped = c.units == 0 ? inLeft : 2 * c.units;
        }
        unsigned char question[2];
        WriteUnit(question, u'?', LittleEndian());
        const unsigned char* q = question;
        std::size_t qLeft = sizeof question;
        if (Descriptor().Convert(q, qLeft, out, outLeft) != CodePageConverter::Status::Done)
            return false;
        in += skipped;
        inLeft -= skipped;
        return true;
    }
};

} // namespace

ConverterPtr MakeSystemDecoder(Zym::CHARSET cs, bool stateful, bool littleEndian) {
    auto descriptor = CodePageConverter::OpenDecoder(cs, littleEndian);
    if (!descriptor)
        return nullptr;
    return std::make_shared<const SystemDecoder>(std::move(descriptor), stateful, littleEndian);
}

ConverterPtr MakeSystemEncoder(Zym::CHARSET cs, bool stateful, bool littleEndian) {
    auto descriptor = CodePageConverter::OpenEncoder(cs, littleEndian);
    if (!descriptor)
        return nullptr;
    return std::make_shared<const SystemEncoder>(std::move(descriptor), stateful, littleEndian);
}

} // namespace ZymCharset
