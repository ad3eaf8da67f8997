#pragma once

#include <ZymCharset/Conv.h>

#include <bit>
#include <cstddef>

namespace ZymCharset {

// Byte order of a 16-bit set: 1200 is little-endian, 1201 is the order of
// char16_t on this machine.
inline bool IsLittleEndianSet(Zym::CHARSET cs) noexcept {
    return cs == Zym::CHARSET_UTF16LE || std::endian::native == std::endian::little;
}

inline char16_t ReadUnit(const unsigned char* p, bool littleEndian) noexcept {
    return littleEndian ? static_cast<char16_t>(p[0] | (p[1] << 8))
                        : static_cast<char16_t>((p[0] << 8) | p[1]);
}

inline void WriteUnit(unsigned char* p, char16_t unit, bool littleEndian) noexcept {
    const auto low = static_cast<unsigned char>(unit & 0xFF);
    const auto high = static_cast<unsigned char>(unit >> 8);
    p[0] = littleEndian ? low : high;
    p[1] = littleEndian ? high : low;
}

inline bool IsHighSurrogate(char32_t unit) noexcept {
    return unit >= 0xD800 && unit < 0xDC00;
}
inline bool IsLowSurrogate(char32_t unit) noexcept {
    return unit >= 0xDC00 && unit < 0xE000;
}

inline constexpr char16_t REPLACEMENT_CHARACTER = 0xFFFD;

// Reads one character (one unit, or a surrogate pair) of a 16-bit text.
// Returns the units it spans: 0 when the text ends inside the character and
// more may follow. Unpaired surrogates are read as one unit and flagged.
struct WideCharacter {
    char32_t codePoint = 0;
    std::size_t units = 0;
    bool valid = true;
};

inline WideCharacter ReadWideCharacter(const unsigned char* p, std::size_t unitsLeft,
                                       bool littleEndian, bool endOfInput) noexcept {
    WideCharacter c;
    if (unitsLeft == 0)
        return c;
    const char16_t first = ReadUnit(p, littleEndian);
    if (!IsHighSurrogate(first)) {
        c.codePoint = first;
        c.units = 1;
        c.valid = !IsLowSurrogate(first);
        return c;
    }
    if (unitsLeft == 1) {
        if (endOfInput) {
            c.codePoint = first;
            c.units = 1;
            c.valid = false;
        }
        return c;
    }
    const char16_t second = ReadUnit(p + 2, littleEndian);
    if (!IsLowSurrogate(second)) {
        c.codePoint = first;
        c.units = 1;
        c.valid = false;
        return c;
    }
    c.codePoint = 0x10000 + ((char32_t(first) - 0xD800) << 10) + (char32_t(second) - 0xDC00);
    c.units = 2;
    return c;
}

// Writes a code point as one or two units; false when it does not fit.
inline bool WriteWideCharacter(unsigned char*& out, std::size_t& outLeft, char32_t codePoint,
                               bool littleEndian) noexcept {
    if (codePoint < 0x10000) {
        if (outLeft < 2)
            return false;
        WriteUnit(out, static_cast<char16_t>(codePoint), littleEndian);
        out += 2;
        outLeft -= 2;
        return true;
    }
    if (outLeft < 4)
        return false;
    const char32_t v = codePoint - 0x10000;
    WriteUnit(out, static_cast<char16_t>(0xD800 + (v >> 10)), littleEndian);
    WriteUnit(out + 2, static_cast<char16_t>(0xDC00 + (v & 0x3FF)), littleEndian);
    out += 4;
    outLeft -= 4;
    return true;
}

} // namespace ZymCharset

namespace ZymCharset {

// What a writer did with one character.
enum class Emit { Written, Full, Refused };

// Walks a 16-bit text character by character and hands each to
// `write(codePoint, valid)`; returns the bytes consumed. A character split
// by the end of the input waits for more unless `endOfInput` is set; a
// trailing odd byte then counts as one invalid character.
template <class Writer>
std::size_t WalkWideText(const unsigned char* src, std::size_t srcLen, bool littleEndian,
                         bool endOfInput, Writer write) {
    std::size_t pos = 0;
    while (srcLen - pos >= 2) {
        const WideCharacter c =
            ReadWideCharacter(src + pos, (srcLen - pos) / 2, littleEndian, endOfInput);
        if (c.units == 0 || write(c.codePoint, c.valid) != Emit::Written)
            return pos;
        pos += c.units * 2;
    }
    if (endOfInput && srcLen - pos == 1 && write(REPLACEMENT_CHARACTER, false) == Emit::Written)
        pos = srcLen;
    return pos;
}

} // namespace ZymCharset
