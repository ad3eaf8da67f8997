#include "PathText.h"

#include <ZymCharset/Utf.h>

namespace ZymWindows::Platform {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead < 0xE0   ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90))
        return 0;
    return length;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

} // namespace

std::u16string PathToText(const std::string& path) {
    std::u16string text;
    for (std::size_t i = 0; i < path.size();) {
        if (const std::size_t length = SequenceLength(path, i)) {
            text += ZymCharset::FromUtf8(std::string_view(path).substr(i, length));
            i += length;
        } else {
            text += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(path[i++]));
        }
    }
    return text;
}

std::string TextToPath(const std::u16string& text) {
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A low surrogate here has no high one before it: a pair went whole.
        if (text[i] >= 0xDC80 && text[i] < 0xDD00) {
            path += static_cast<char>(text[i] - 0xDC00);
            continue;
        }
        const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() &&
                          IsLowSurrogate(text[i + 1]);
        path += ZymCharset::ToUtf8(std::u16string_view(text).substr(i, pair ? 2 : 1));
        i += pair ? 1 : 0;
    }
    return path;
}

} // namespace ZymWindows::Platform
