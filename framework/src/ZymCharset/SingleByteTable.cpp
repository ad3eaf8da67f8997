#include "SingleByteTable.h"

#include "CodePageConverter.h"
#include "WideUnits.h"

namespace ZymCharset {

SingleByteTable::SingleByteTable(const std::array<char16_t, 256>& toWide)
    : m_ToWide(toWide), m_Replacement('?') {
    for (int byte = 255; byte >= 0; --byte) {
        const char16_t unit = m_ToWide[byte];
        if (unit == UNDEFINED)
            continue;
        auto& page = m_FromWide[unit >> 8];
        if (!page) {
            page = std::make_unique<Page>();
            page->fill(-1);
        }
        (*page)[unit & 0xFF] = static_cast<std::int16_t>(byte);
    }
    const int question = FromWide(u'?');
    if (question >= 0)
        m_Replacement = static_cast<unsigned char>(question);
}

int SingleByteTable::FromWide(char32_t codePoint) const noexcept {
    if (codePoint > 0xFFFF)
        return -1;
    const auto& page = m_FromWide[codePoint >> 8];
    return page ? (*page)[codePoint & 0xFF] : -1;
}

const SingleByteTable& Windows1252Table() {
    static const SingleByteTable table = [] {
        static constexpr char16_t HIGH_CONTROLS[32] = {
            0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
            0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
        };
        std::array<char16_t, 256> toWide{};
        for (int byte = 0; byte < 256; ++byte)
            toWide[byte] = static_cast<char16_t>(byte);
        for (int i = 0; i < 32; ++i)
            toWide[0x80 + i] = HIGH_CONTROLS[i];
        return SingleByteTable(toWide);
    }();
    return table;
}

std::shared_ptr<const SingleByteTable> ProbeSingleByteTable(Zym::CHARSET cs) {
    const auto converter =
        Platform::CodePageConverter::OpenDecoder(cs, std::endian::native == std::endian::little);
    if (!converter)
        return nullptr;
    std::array<char16_t, 256> toWide{};
    for (int byte = 0; byte < 256; ++byte) {
        const unsigned char input = static_cast<unsigned char>(byte);
        const unsigned char* in = &input;
        std::size_t inLeft = 1;
        unsigned char output[8];
        unsigned char* out = output;
        std::size_t outLeft = sizeof output;
        converter->Reset();
        const auto status = converter->Convert(in, inLeft, out, outLeft);
        if (status == Platform::CodePageConverter::Status::Invalid) {
            toWide[byte] = SingleByteTable::UNDEFINED;
            continue;
        }
        // Some converters hold a base letter back to combine it with a
        // following accent; finishing the text releases it.
        if (status != Platform::CodePageConverter::Status::Done ||
            converter->Finish(out, outLeft) != Platform::CodePageConverter::Status::Done)
            return nullptr;
        if (out - output != 2)
            return nullptr;
        toWide[byte] = ReadUnit(output, std::endian::native == std::endian::little);
    }
    return std::make_shared<const SingleByteTable>(toWide);
}

} // namespace ZymCharset
