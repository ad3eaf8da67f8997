#include "CfbText.h"

#include "Command.h"

#include <Zym/HexDigit.h>
#include <ZymCharset/Utf.h>

#include <cstdio>

namespace zymwin::cfb {

namespace {

bool NeedsEscape(char16_t unit) {
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == u'\\' || unit == u'/';
}

std::string Hex(const char* format, unsigned int value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

std::string EscapeName(const std::u16string& name) {
    std::string out;
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !NeedsEscape(name[i]))
            continue;
        out += ZymCharset::ToUtf8(std::u16string_view(name).substr(plainFrom, i - plainFrom));
        if (i < name.size())
            out += Hex("\\x%02X", name[i]);
        plainFrom = i + 1;
    }
    return out;
}

std::string EscapeControls(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7F ? Hex("\\x%02X", byte) : std::string(1, c);
    }
    return out;
}

std::vector<std::u16string> ParsePath(const std::string& path) {
    std::vector<std::u16string> components;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = path.find('/', from);
        const std::string part =
            path.substr(from, slash == std::string::npos ? slash : slash - from);
        std::u16string name;
        std::string plain;
        for (std::size_t i = 0; i < part.size(); ++i) {
            int high = 0, low = 0;
            if (part[i] == '\\' && i + 3 < part.size() && part[i + 1] == 'x' &&
                (high = Zym::HexDigit(part[i + 2])) >= 0 &&
                (low = Zym::HexDigit(part[i + 3])) >= 0) {
                name += ZymCharset::FromUtf8(plain);
                plain.clear();
                name += static_cast<char16_t>(high * 16 + low);
                i += 3;
            } else {
                plain += part[i];
            }
        }
        name += ZymCharset::FromUtf8(plain);
        if (name.empty())
            throw UsageError{"empty name in stream path '" + path + "'"};
        components.push_back(std::move(name));
        if (slash == std::string::npos)
            return components;
        from = slash + 1;
    }
}

std::string JsonString(const std::u16string& text) {
    std::string out = "\"";
    std::size_t plainFrom = 0;
    auto flush = [&](std::size_t to) {
        out += ZymCharset::ToUtf8(std::u16string_view(text).substr(plainFrom, to - plainFrom));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool paired =
            (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ||
            (IsLowSurrogate(unit) && i > 0 && IsHighSurrogate(text[i - 1]));
        std::string escape;
        if (unit == u'"')
            escape = "\\\"";
        else if (unit == u'\\')
            escape = "\\\\";
        else if (unit == u'\n')
            escape = "\\n";
        else if (unit == u'\r')
            escape = "\\r";
        else if (unit == u'\t')
            escape = "\\t";
        else if (unit < 0x20 || ((IsHighSurrogate(unit) || IsLowSurrogate(unit)) && !paired))
            escape = Hex("\\u%04x", unit);
        else
            continue;
        flush(i);
        out += escape;
        plainFrom = i + 1;
    }
    flush(text.size());
    return out + "\"";
}

std::string JsonString(const std::string& utf8) {
    return JsonString(ZymCharset::FromUtf8(utf8));
}

} // namespace zymwin::cfb
