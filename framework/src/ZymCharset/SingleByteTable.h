#pragma once

#include <ZymCharset/Conv.h>

#include <array>
#include <cstdint>
#include <memory>

namespace ZymCharset {

// The mapping of a single-byte code page in both directions.
class SingleByteTable {
public:
    // Marks a byte that the code page leaves undefined.
    static constexpr char16_t UNDEFINED = 0xFFFF;

    explicit SingleByteTable(const std::array<char16_t, 256>& toWide);

    char16_t ToWide(unsigned char byte) const noexcept { return m_ToWide[byte]; }
    // The byte of a code point, or -1 when the code page has none. When
    // several bytes map to one code point, the lowest wins.
    int FromWide(char32_t codePoint) const noexcept;
    // The code page's question mark, written for what cannot be mapped.
    unsigned char Replacement() const noexcept { return m_Replacement; }

private:
    using Page = std::array<std::int16_t, 256>;
    std::array<char16_t, 256> m_ToWide;
    // Two levels indexed by the high and low byte of the code point; pages
    // that the code page does not use stay null.
    std::array<std::unique_ptr<Page>, 256> m_FromWide;
    unsigned char m_Replacement;
};

// Windows-1252 exactly as Windows maps it, including the five bytes the
// standard leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), which map to the
// C1 controls of the same value.
const SingleByteTable& Windows1252Table();

// Reads the table of a system code page byte by byte; null when the code
// page is not a single-byte one (some byte starts a longer sequence or
// switches a mode).
std::shared_ptr<const SingleByteTable> ProbeSingleByteTable(Zym::CHARSET cs);

} // namespace ZymCharset
