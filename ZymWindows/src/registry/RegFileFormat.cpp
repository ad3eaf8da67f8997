#include "RegText.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/RegFile.h"

#include <algorithm>
#include <iterator>

namespace ZymWindows::RegFile {

namespace {

constexpr std::u16string_view HEADER = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view EOL = u"\r\n";
// Hex lists wrap before a line would pass this width, backslash included.
constexpr std::size_t LINE_WIDTH = 80;

void AppendQuoted(std::u16string& out, std::u16string_view text) {
    out += u'"';
    for (const char16_t c : text) {
        const auto escape =
            std::ranges::find(RegText::QUOTED_ESCAPES, c, &RegText::QuotedEscape::character);
        if (escape != std::end(RegText::QUOTED_ESCAPES))
            out += {u'\\', escape->letter};
        else
            out += c;
    }
    out += u'"';
}

void AppendHexDigits(std::u16string& out, unsigned long value, int digits) {
    constexpr char16_t DIGITS[] = u"0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += DIGITS[(value >> shift) & 0xF];
}

// Text that a quoted string can carry: one terminating zero, no other
// zero and no line break.
bool IsPlainString(const std::vector<unsigned char>& data) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    const std::u16string text = RegText::FromBytes(data.data(), data.size());
    return text.find_first_of(std::u16string_view(u"\0\r\n", 3)) == text.size() - 1;
}

void AppendHexList(std::u16string& out, std::size_t lineStart,
                   const std::vector<unsigned char>& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        // Room for "xx," and the continuation backslash.
        if (out.size() - lineStart + 4 > LINE_WIDTH) {
            out += u'\\';
            out += EOL;
            lineStart = out.size();
            out += u"  ";
        }
        AppendHexDigits(out, data[i], 2);
        if (!last)
            out += u',';
    }
}

void AppendValue(std::u16string& out, const Entry& entry) {
    const std::size_t lineStart = out.size();
    if (entry.valueName.empty())
        out += u'@';
    else
        AppendQuoted(out, entry.valueName);
    out += u'=';
    if (entry.kind == Entry::DELETE_VALUE) {
        out += u'-';
    } else if (entry.type == REG_SZ && IsPlainString(entry.data)) {
        const std::u16string text = RegText::FromBytes(entry.data.data(), entry.data.size());
        AppendQuoted(out, std::u16string_view(text).substr(0, text.size() - 1));
    } else if (entry.type == REG_DWORD && entry.data.size() == 4) {
        out += u"dword:";
        AppendHexDigits(out,
                        static_cast<unsigned long>(entry.data[0]) |
                            static_cast<unsigned long>(entry.data[1]) << 8 |
                            static_cast<unsigned long>(entry.data[2]) << 16 |
                            static_cast<unsigned long>(entry.data[3]) << 24,
                        8);
    } else {
        out += u"hex";
        if (entry.type != REG_BINARY) {
            out += u'(';
            std::u16string digits;
            unsigned long type = entry.type;
            do {
                digits.insert(digits.begin(), u"0123456789abcdef"[type & 0xF]);
                type >>= 4;
            } while (type);
            out += digits + u')';
        }
        out += u':';
        AppendHexList(out, lineStart, entry.data);
    }
    out += EOL;
}

} // namespace

std::u16string Format(const std::vector<Entry>& entries) {
    std::u16string out(HEADER);
    out += EOL;
    for (const Entry& entry : entries) {
        if (entry.kind == Entry::KEY || entry.kind == Entry::DELETE_KEY) {
            if (entry.key.HasEmptyKeyName())
                throw RegistryException(u"The key path " + entry.key.Full() +
                                        u" has an empty key name.");
            out += EOL;
            out += entry.kind == Entry::KEY ? u"[" : u"[-";
            out += entry.key.Full();
            out += u']';
            out += EOL;
        } else {
            AppendValue(out, entry);
        }
    }
    out += EOL;
    return out;
}

} // namespace ZymWindows::RegFile
