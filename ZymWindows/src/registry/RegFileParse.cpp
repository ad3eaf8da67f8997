#include "RegText.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/RegFile.h"

#include <Zym/HexDigit.h>
#include <ZymCharset/Utf.h>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace ZymWindows::RegFile {

namespace {

constexpr std::u16string_view HEADER = u"Windows Registry Editor Version 5.00";

[[noreturn]] void Fail(unsigned long line, const char* what) {
    throw RegistryException(ZymCharset::FromUtf8("line " + std::to_string(line) + ": " + what));
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view TrimLeft(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

std::u16string_view Trim(std::u16string_view text) {
    text = TrimLeft(text);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The document's text: UTF-16 after a byte order mark, else UTF-8.
std::u16string Decode(const unsigned char* bytes, std::size_t size) {
    const bool little = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool big = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (little || big) {
        if (size % 2 != 0)
            Fail(1, "a UTF-16 document must have an even number of bytes");
        std::u16string text;
        text.reserve(size / 2 - 1);
        for (std::size_t i = 2; i < size; i += 2)
            text += static_cast<char16_t>(little ? bytes[i] | bytes[i + 1] << 8
                                                 : bytes[i] << 8 | bytes[i + 1]);
        return text;
    }
    std::string_view utf8(reinterpret_cast<const char*>(bytes), size);
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    return ZymCharset::FromUtf8(utf8);
}

struct Line {
    std::u16string_view text;
    unsigned long number;
};

std::vector<Line> SplitLines(std::u16string_view text) {
    std::vector<Line> lines;
    unsigned long number = 1;
    while (true) {
        const auto end = text.find_first_of(u"\r\n");
        lines.push_back({text.substr(0, end), number++});
        if (end == std::u16string_view::npos)
            return lines;
        const std::size_t next =
            text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? end + 2
                                                                                  : end + 1;
        text.remove_prefix(next);
    }
}

// 1 to `maxDigits` hex digits, the whole text.
bool ParseHexNumber(std::u16string_view text, std::size_t maxDigits, unsigned long& value) {
    if (text.empty() || text.size() > maxDigits)
        return false;
    value = 0;
    for (const char16_t c : text) {
        const int digit = Zym::HexDigit(c);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<unsigned long>(digit);
    }
    return true;
}

class Parser {
public:
    explicit Parser(std::u16string_view text) : m_Lines(SplitLines(text)) {}

    std::vector<Entry> Run() {
        if (Trim(m_Lines.front().text) != HEADER)
            Fail(1, "the first line must be \"Windows Registry Editor Version 5.00\"");
        for (m_At = 1; m_At < m_Lines.size(); ++m_At) {
            const std::u16string_view text = Trim(m_Lines[m_At].text);
            if (text.empty() || text.front() == u';')
                continue;
            if (text.front() == u'[')
                ParseSection(text);
            else
                ParseValue(text);
        }
        return std::move(m_Entries);
    }

private:
    unsigned long Number() const { return m_Lines[m_At].number; }

    void ParseSection(std::u16string_view text) {
        const auto close = text.rfind(u']');
        if (close != text.size() - 1)
            Fail(Number(), "a key line must end with ']'");
        std::u16string_view path = text.substr(1, close - 1);
        Entry entry{};
        entry.kind = Entry::KEY;
        if (!path.empty() && path.front() == u'-') {
            entry.kind = Entry::DELETE_KEY;
            path.remove_prefix(1);
        }
        if (!ParseKeyPath(std::u16string(path), entry.key))
            Fail(Number(), "the key path must start with a root key such as HKEY_CURRENT_USER");
        if (entry.key.HasEmptyKeyName())
            Fail(Number(), "the key path has an empty key name");
        if (entry.kind == Entry::DELETE_KEY && entry.key.subPath.empty())
            Fail(Number(), "a root key cannot be deleted");
        entry.line = Number();
        m_Section = entry.kind;
        m_Key = entry.key;
        m_Entries.push_back(std::move(entry));
    }

    void ParseValue(std::u16string_view text) {
        if (m_Entries.empty())
            Fail(Number(), "a value must follow a key line");
        if (m_Section == Entry::DELETE_KEY)
            Fail(Number(), "a value cannot follow the deletion of its key");
        Entry entry{};
        entry.kind = Entry::VALUE;
        entry.key = m_Key;
        entry.line = Number();
        std::u16string_view rest;
        if (text.front() == u'@') {
            rest = text.substr(1);
        } else if (text.front() == u'"') {
            rest = ReadQuoted(text, entry.valueName);
        } else {
            Fail(Number(), "a value line must start with a quoted name or '@'");
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != u'=')
            Fail(Number(), "expected '=' after the value name");
        ParseData(Trim(rest.substr(1)), entry);
        m_Entries.push_back(std::move(entry));
    }

    // A quoted text at the start of `text`; returns what follows it.
    std::u16string_view ReadQuoted(std::u16string_view text, std::u16string& out) {
        out.clear();
        for (std::size_t i = 1; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c == u'"')
                return text.substr(i + 1);
            if (c != u'\\') {
                out += c;
                continue;
            }
            if (++i == text.size())
                break;
            const auto escape =
                std::ranges::find(RegText::QUOTED_ESCAPES, text[i], &RegText::QuotedEscape::letter);
            if (escape == std::end(RegText::QUOTED_ESCAPES))
                Fail(Number(), "unknown escape in a quoted text (use \\\\ or \\\")");
            out += escape->character;
        }
        Fail(Number(), "missing closing quote");
    }

    void ParseData(std::u16string_view data, Entry& entry) {
        if (data == u"-") {
            entry.kind = Entry::DELETE_VALUE;
        } else if (!data.empty() && data.front() == u'"') {
            std::u16string text;
            if (!Trim(ReadQuoted(data, text)).empty())
                Fail(Number(), "unexpected text after the closing quote");
            entry.type = REG_SZ;
            entry.data = RegText::ToBytes(text, true);
        } else if (StartsWith(data, u"dword:")) {
            unsigned long value = 0;
            if (!ParseHexNumber(data.substr(6), 8, value))
                Fail(Number(), "a dword needs 1 to 8 hex digits");
            entry.type = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8)
                entry.data.push_back(static_cast<unsigned char>(value >> shift));
        } else if (StartsWith(data, u"hex")) {
            ParseHex(data.substr(3), entry);
        } else {
            Fail(Number(), "unknown value data (expected \"text\", dword:, hex: or hex(N):)");
        }
    }

    void ParseHex(std::u16string_view data, Entry& entry) {
        entry.type = REG_BINARY;
        if (!data.empty() && data.front() == u'(') {
            const auto close = data.find(u')');
            if (close == std::u16string_view::npos ||
                !ParseHexNumber(data.substr(1, close - 1), 8, entry.type))
                Fail(Number(), "hex(N) needs a hex type number of 1 to 8 digits");
            data.remove_prefix(close + 1);
        }
        if (data.empty() || data.front() != u':')
            Fail(Number(), "expected ':' after hex");
        std::u16string bytes(data.substr(1));
        // A trailing backslash continues the list on the next line.
        while (!bytes.empty() && bytes.back() == u'\\') {
            bytes.pop_back();
            if (++m_At == m_Lines.size())
                Fail(m_Lines.back().number, "the hex list continues past the end of the file");
            bytes += Trim(m_Lines[m_At].text);
        }
        ParseBytes(bytes, entry.data);
    }

    void ParseBytes(std::u16string_view list, std::vector<unsigned char>& out) {
        list = Trim(list);
        while (!list.empty()) {
            const auto comma = list.find(u',');
            unsigned long value = 0;
            if (!ParseHexNumber(Trim(list.substr(0, comma)), 2, value))
                Fail(Number(), "hex data must be bytes of 1 or 2 hex digits separated by commas");
            out.push_back(static_cast<unsigned char>(value));
            if (comma == std::u16string_view::npos)
                break;
            list = TrimLeft(list.substr(comma + 1));
        }
    }

    std::vector<Line> m_Lines;
    std::size_t m_At = 0;
    std::vector<Entry> m_Entries;
    KeyPath m_Key{};
    Entry::Kind m_Section = Entry::KEY;
};

} // namespace

std::vector<Entry> Parse(const void* bytes, std::size_t size) {
    const std::u16string text = Decode(static_cast<const unsigned char*>(bytes), size);
    return Parser(text).Run();
}

} // namespace ZymWindows::RegFile
