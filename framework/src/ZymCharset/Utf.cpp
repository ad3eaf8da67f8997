#include "ZymCharset/Utf.h"

namespace ZymCharset {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// The bytes that may follow a lead byte as its first continuation; every
// later continuation is 80..BF (the well-formed sequences of Unicode).
struct LeadByte {
    std::size_t length; // 0: never starts a character
    unsigned char low, high;
};

LeadByte Classify(unsigned char lead) {
    if (lead < 0x80)
        return {1, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x80, 0x9F}; // no surrogates
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F}; // nothing beyond U+10FFFF
    return {0, 0, 0};
}

} // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            AppendUtf8(out, REPLACEMENT);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// A malformed sequence becomes one U+FFFD for its longest start that could
// have begun a character (its maximal subpart), as Unicode recommends.
std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const LeadByte kind = Classify(lead);
        if (kind.length == 1) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        char32_t cp = kind.length == 0 ? 0 : lead & (0xFF >> (kind.length + 1));
        std::size_t taken = 1;
        while (taken < kind.length && i + taken < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + taken]);
            const bool fits =
                taken == 1 ? next >= kind.low && next <= kind.high : (next & 0xC0) == 0x80;
            if (!fits)
                break;
            cp = (cp << 6) | (next & 0x3F);
            ++taken;
        }
        AppendUtf16(out, kind.length != 0 && taken == kind.length ? cp : REPLACEMENT);
        i += taken;
    }
    return out;
}

} // namespace ZymCharset
