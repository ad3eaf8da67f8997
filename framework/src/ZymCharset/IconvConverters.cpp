#include "IconvConverters.h"

#include "Iconv.h"
#include "WideUnits.h"

#include <mutex>

namespace ZymCharset {

namespace {

using Platform::Iconv;

const char* WideName(bool littleEndian) {
    return littleEndian ? "UTF-16LE" : "UTF-16BE";
}

class IconvConverter : public Converter {
public:
    IconvConverter(std::unique_ptr<Iconv> descriptor, bool stateful, bool littleEndian)
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
            const Iconv::Status status = m_Descriptor->Convert(in, inLeft, out, outLeft);
            if (status == Iconv::Status::Done || status == Iconv::Status::Full)
                break;
            if (status == Iconv::Status::Incomplete && !endOfInput)
                break; // the rest of the character may follow
            if (stopOnError || !Replace(status, in, inLeft, out, outLeft))
                break;
        }
        outLeft += reserve;
        m_InText = m_InText || inLeft < srcLen;
        // Finishing also restarts the text: some sets (ISO-2022-KR) write a
        // header again, so a text is finished once, not on every empty step.
        if (endOfInput && inLeft == 0 && m_InText &&
            m_Descriptor->Finish(out, outLeft) == Iconv::Status::Done)
            m_InText = false;
        produced = dstCap - outLeft;
        return srcLen - inLeft;
    }

protected:
    // Writes a replacement for the sequence at `in` and skips it; false when
    // the replacement does not fit.
    virtual bool Replace(Iconv::Status status, const unsigned char*& in, std::size_t& inLeft,
                         unsigned char*& out, std::size_t& outLeft) const = 0;

    Iconv& Descriptor() const { return *m_Descriptor; }
    bool LittleEndian() const { return m_LittleEndian; }

private:
    mutable std::mutex m_Lock;
    // Whether input was converted since the text began.
    mutable bool m_InText = false;
    std::unique_ptr<Iconv> m_Descriptor;
    bool m_Stateful;
    bool m_LittleEndian;
};

class IconvDecoder final : public IconvConverter {
public:
    using IconvConverter::IconvConverter;

private:
    // An invalid byte, or the cut character that ends the text, becomes
    // U+FFFD; decoding resumes at the next byte.
    bool Replace(Iconv::Status status, const unsigned char*& in, std::size_t& inLeft,
                 unsigned char*& out, std::size_t& outLeft) const override {
        if (!WriteWideCharacter(out, outLeft, REPLACEMENT_CHARACTER, LittleEndian()))
            return false;
        const std::size_t skipped = status == Iconv::Status::Incomplete ? inLeft : 1;
        in += skipped;
        inLeft -= skipped;
        return true;
    }
};

class IconvEncoder final : public IconvConverter {
public:
    using IconvConverter::IconvConverter;

private:
    // A character the code page lacks, an unpaired surrogate or a cut unit
    // at the end becomes the code page's question mark, written through the
    // descriptor so that a stateful code page switches mode for it.
    bool Replace(Iconv::Status status, const unsigned char*& in, std::size_t& inLeft,
                 unsigned char*& out, std::size_t& outLeft) const override {
        std::size_t skipped = inLeft;
        if (status == Iconv::Status::Invalid) {
            const WideCharacter c = ReadWideCharacter(in, inLeft / 2, LittleEndian(), true);
            skipped = c.units == 0 ? inLeft : 2 * c.units;
        }
        unsigned char question[2];
        WriteUnit(question, u'?', LittleEndian());
        const unsigned char* q = question;
        std::size_t qLeft = sizeof question;
        if (Descriptor().Convert(q, qLeft, out, outLeft) != Iconv::Status::Done)
            return false;
        in += skipped;
        inLeft -= skipped;
        return true;
    }
};

} // namespace

ConverterPtr MakeIconvDecoder(const SystemCodePage& page, bool littleEndian) {
    auto descriptor = Iconv::Open(WideName(littleEndian), page.name);
    if (!descriptor)
        return nullptr;
    return std::make_shared<const IconvDecoder>(std::move(descriptor), page.stateful, littleEndian);
}

ConverterPtr MakeIconvEncoder(const SystemCodePage& page, bool littleEndian) {
    auto descriptor = Iconv::Open(page.name, WideName(littleEndian));
    if (!descriptor)
        return nullptr;
    return std::make_shared<const IconvEncoder>(std::move(descriptor), page.stateful, littleEndian);
}

} // namespace ZymCharset
