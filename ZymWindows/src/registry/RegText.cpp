#include "RegText.h"

#include <ZymCharset/Conv.h>

namespace ZymWindows::RegText {

std::u16string Wide(const std::string& text) {
    return ZymCharset::Conv::ToWide(Zym::CHARSET_ANSI, text);
}

std::string Narrow(const std::u16string& text) {
    return ZymCharset::Conv::FromWide(Zym::CHARSET_ANSI, text);
}

std::vector<unsigned char> ToBytes(const std::u16string& text, bool terminate) {
    std::vector<unsigned char> bytes;
    bytes.reserve(2 * (text.size() + 1));
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    if (terminate)
        bytes.insert(bytes.end(), 2, 0);
    return bytes;
}

std::u16string FromBytes(const unsigned char* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return text;
}

} // namespace ZymWindows::RegText
