#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Text of the registry family in both widths. Narrow text is code page
// 1252, wide text UTF-16 (code page 1201), converted through ZymCharset::Conv.
namespace ZymWindows::RegText {

std::u16string Wide(const std::string& text);
inline const std::u16string& Wide(const std::u16string& text) {
    return text;
}
std::string Narrow(const std::u16string& text);
inline const std::string& Narrow(const std::string& text) {
    return text;
}

// An ASCII literal in the width C.
template <class C> std::basic_string<C> Literal(const char* ascii) {
    std::basic_string<C> text;
    for (; *ascii; ++ascii)
        text += static_cast<C>(*ascii);
    return text;
}

// Converts a wide name to the width C.
template <class C> std::basic_string<C> FromWide(const std::u16string& text);
template <> inline std::string FromWide<char>(const std::u16string& text) {
    return Narrow(text);
}
template <> inline std::u16string FromWide<char16_t>(const std::u16string& text) {
    return text;
}

// Inside a quoted text of a .reg file, each of these characters stands as a
// backslash followed by its letter.
struct QuotedEscape {
    char16_t character;
    char16_t letter;
};
inline constexpr QuotedEscape QUOTED_ESCAPES[] = {
    {u'\\', u'\\'}, {u'"', u'"'}, {u'\n', u'n'}, {u'\r', u'r'}};

// UTF-16 text as little-endian bytes, with a terminating zero unit when
// `terminate` is set; and back, dropping an odd last byte.
std::vector<unsigned char> ToBytes(const std::u16string& text, bool terminate);
std::u16string FromBytes(const unsigned char* data, std::size_t size);

} // namespace ZymWindows::RegText
