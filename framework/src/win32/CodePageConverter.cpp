#include "../ZymCharset/CodePageConverter.h"

#include "../ZymCharset/CodePages.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

namespace ZymCharset::Platform {

namespace {

bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// 16-bit units of either byte order, as the system's wchar_t and back.
std::wstring ReadUnits(const unsigned char* bytes, std::size_t units, bool littleEndian) {
    std::wstring text(units, L'\0');
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned first = bytes[2 * i], second = bytes[2 * i + 1];
        text[i] = static_cast<wchar_t>(littleEndian ? first | second << 8 : second | first << 8);
    }
    return text;
}

std::string WriteUnits(std::wstring_view text, bool littleEndian) {
    std::string bytes(2 * text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<unsigned>(text[i]);
        bytes[2 * i + (littleEndian ? 0 : 1)] = static_cast<char>(unit & 0xFF);
        bytes[2 * i + (littleEndian ? 1 : 0)] = static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The system's whole-buffer conversions between a code page and 16-bit
// units, fed piece by piece. A stateless code page is converted character
// by character where a piece is cut or holds an error; a stateful one is
// collected and converted as a whole when the text is finished, because the
// system starts every call in the initial shift state.
class Win32Converter : public CodePageConverter {
public:
    Win32Converter(unsigned codePage, bool littleEndian)
        : m_CodePage(codePage), m_LittleEndian(littleEndian),
          m_Stateful(IsStatefulCodePage(codePage)) {}

    Status Convert(const unsigned char*& in, std::size_t& inLeft, unsigned char*& out,
                   std::size_t& outLeft) final {
        if (!Flush(out, outLeft))
            return Status::Full;
        if (m_Stateful) {
            m_Collected.append(reinterpret_cast<const char*>(in), inLeft);
            in += inLeft;
            inLeft = 0;
            return Status::Done;
        }
        std::string converted;
        std::size_t consumed = 0;
        const Status status = ConvertPrefix(in, inLeft, converted, consumed);
        in += consumed;
        inLeft -= consumed;
        m_Pending = std::move(converted);
        if (!Flush(out, outLeft))
            return Status::Full;
        return status;
    }

    Status Finish(unsigned char*& out, std::size_t& outLeft) final {
        if (!m_Collected.empty()) {
            m_Pending = ConvertWhole(m_Collected);
            m_Collected.clear();
        }
        return Flush(out, outLeft) ? Status::Done : Status::Full;
    }

    void Reset() final {
        m_Collected.clear();
        m_Pending.clear();
    }

protected:
    // Converts the longest prefix of the input made of whole, valid
    // characters; with nothing consumed, the status says what stopped it.
    virtual Status ConvertPrefix(const unsigned char* in, std::size_t inLeft,
                                 std::string& converted, std::size_t& consumed) const = 0;
    // Converts a text of a stateful code page at once.
    virtual std::string ConvertWhole(const std::string& text) const = 0;

    unsigned CodePage() const { return m_CodePage; }
    bool LittleEndian() const { return m_LittleEndian; }

private:
    bool Flush(unsigned char*& out, std::size_t& outLeft) {
        const std::size_t count = m_Pending.size() < outLeft ? m_Pending.size() : outLeft;
        std::memcpy(out, m_Pending.data(), count);
        out += count;
        outLeft -= count;
        m_Pending.erase(0, count);
        return m_Pending.empty();
    }

    unsigned m_CodePage;
    bool m_LittleEndian;
    bool m_Stateful;
    std::string m_Collected; // input of a stateful code page not yet converted
    std::string m_Pending;   // converted output that did not fit yet
};

// Code page bytes to 16-bit units.
class Decoder final : public Win32Converter {
public:
    Decoder(unsigned codePage, bool littleEndian, std::size_t longestCharacter)
        : Win32Converter(codePage, littleEndian), m_LongestCharacter(longestCharacter) {}

private:
    // The system cannot tell where an error lies, so a piece that fails is
    // retried as its longest valid prefix, found character by character.
    Status ConvertPrefix(const unsigned char* in, std::size_t inLeft, std::string& converted,
                         std::size_t& consumed) const override {
        if (Decode(in, inLeft, converted)) {
            consumed = inLeft;
            return Status::Done;
        }
        std::size_t taken = 0;
        std::string result;
        Status status = Status::Done;
        while (taken < inLeft) {
            const std::size_t remaining = inLeft - taken;
            const std::size_t tries =
                remaining < m_LongestCharacter ? remaining : m_LongestCharacter;
            std::size_t length = 1;
            std::string character;
            while (length <= tries && !Decode(in + taken, length, character))
                ++length;
            if (length > tries) {
                status = MayBeCut(in[taken], remaining) ? Status::Incomplete : Status::Invalid;
                break;
            }
            result += character;
            taken += length;
        }
        converted = std::move(result);
        consumed = taken;
        return status;
    }

    // Whether bytes that decode to nothing may be the start of a character
    // whose rest has not arrived yet.
    bool MayBeCut(unsigned char first, std::size_t remaining) const {
        if (remaining >= m_LongestCharacter)
            return false;
        return m_LongestCharacter != 2 || ::IsDBCSLeadByteEx(CodePage(), first);
    }

    std::string ConvertWhole(const std::string& text) const override {
        const int units = ::MultiByteToWideChar(CodePage(), 0, text.data(),
                                                static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(units), L'\0');
        ::MultiByteToWideChar(CodePage(), 0, text.data(), static_cast<int>(text.size()),
                              wide.data(), units);
        return WriteUnits(wide, LittleEndian());
    }

    bool Decode(const unsigned char* in, std::size_t length, std::string& converted) const {
        const auto* bytes = reinterpret_cast<const char*>(in);
        const int size = static_cast<int>(length);
        const int units =
            ::MultiByteToWideChar(CodePage(), MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
        if (units == 0)
            return false;
        std::wstring wide(static_cast<std::size_t>(units), L'\0');
        ::MultiByteToWideChar(CodePage(), MB_ERR_INVALID_CHARS, bytes, size, wide.data(), units);
        if (m_LongestCharacter == 1 && !ComesBack(wide, bytes, length))
            return false;
        converted = WriteUnits(wide, LittleEndian());
        return true;
    }

    // Whether the decoded text encodes to the same bytes. A single-byte code
    // page may fold a byte it lacks onto a character it has (20127 strips the
    // high bit); such a byte is not one of the page's characters.
    bool ComesBack(const std::wstring& wide, const char* bytes, std::size_t length) const {
        const int size = static_cast<int>(wide.size());
        std::string back(length, '\0');
        BOOL usedDefault = FALSE;
        return ::WideCharToMultiByte(CodePage(), WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                     back.data(), static_cast<int>(length), nullptr,
                                     &usedDefault) == static_cast<int>(length) &&
               !usedDefault && back.compare(0, length, bytes, length) == 0;
    }

    std::size_t m_LongestCharacter;
};

// 16-bit units to code page bytes.
class Encoder final : public Win32Converter {
public:
    using Win32Converter::Win32Converter;

private:
    Status ConvertPrefix(const unsigned char* in, std::size_t inLeft, std::string& converted,
                         std::size_t& consumed) const override {
        const std::wstring wide = ReadUnits(in, inLeft / 2, LittleEndian());
        if (wide.empty()) {
            consumed = 0;
            return inLeft > 0 ? Status::Incomplete : Status::Done;
        }
        if (Encode(wide, converted)) {
            consumed = 2 * wide.size();
            return inLeft > consumed ? Status::Incomplete : Status::Done;
        }
        std::size_t taken = 0;
        std::string result;
        while (taken < wide.size()) {
            const std::size_t length = IsHighSurrogate(wide[taken]) && taken + 1 < wide.size() &&
                                               IsLowSurrogate(wide[taken + 1])
                                           ? 2
                                           : 1;
            std::string character;
            if (!Encode(wide.substr(taken, length), character)) {
                converted = std::move(result);
                consumed = 2 * taken;
                return IsHighSurrogate(wide[taken]) && taken + 1 == wide.size() ? Status::Incomplete
                                                                                : Status::Invalid;
            }
            result += character;
            taken += length;
        }
        converted = std::move(result);
        consumed = 2 * taken;
        return Status::Done;
    }

    std::string ConvertWhole(const std::string& text) const override {
        const std::wstring wide = ReadUnits(reinterpret_cast<const unsigned char*>(text.data()),
                                            text.size() / 2, LittleEndian());
        const int size = static_cast<int>(wide.size());
        const int bytes =
            ::WideCharToMultiByte(CodePage(), 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
        std::string result(static_cast<std::size_t>(bytes), '\0');
        ::WideCharToMultiByte(CodePage(), 0, wide.data(), size, result.data(), bytes, nullptr,
                              nullptr);
        return result;
    }

    // Fails on a character the code page lacks and on an unpaired surrogate.
    // UTF-8 and GB18030 hold every character and report only the latter.
    bool Encode(std::wstring_view wide, std::string& converted) const {
        const bool complete = CodePage() == CP_UTF8 || CodePage() == 54936;
        const DWORD flags = complete ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
        BOOL usedDefault = FALSE;
        BOOL* usedDefaultFlag = complete ? nullptr : &usedDefault;
        const int size = static_cast<int>(wide.size());
        const int bytes = ::WideCharToMultiByte(CodePage(), flags, wide.data(), size, nullptr, 0,
                                                nullptr, usedDefaultFlag);
        if (bytes == 0 || usedDefault)
            return false;
        converted.assign(static_cast<std::size_t>(bytes), '\0');
        ::WideCharToMultiByte(CodePage(), flags, wide.data(), size, converted.data(), bytes,
                              nullptr, nullptr);
        return true;
    }
};

// The longest character of the code page in bytes, or 0 when the system
// does not have the code page. The numbers that stand for whatever the
// system or the thread currently uses (CP_ACP, CP_OEMCP, CP_MACCP,
// CP_THREAD_ACP) and the symbol font's set (CP_SYMBOL) name no code page.
std::size_t LongestCharacter(unsigned codePage) {
    if (codePage <= CP_THREAD_ACP || codePage == CP_SYMBOL)
        return 0;
    CPINFO info;
    return ::GetCPInfo(codePage, &info) ? info.MaxCharSize : 0;
}

} // namespace

std::unique_ptr<CodePageConverter> CodePageConverter::OpenDecoder(Zym::CHARSET from,
                                                                  bool littleEndian) {
    const std::size_t longestCharacter = LongestCharacter(from);
    if (longestCharacter == 0)
        return nullptr;
    return std::make_unique<Decoder>(from, littleEndian, longestCharacter);
}

std::unique_ptr<CodePageConverter> CodePageConverter::OpenEncoder(Zym::CHARSET to,
                                                                  bool littleEndian) {
    if (LongestCharacter(to) == 0)
        return nullptr;
    return std::make_unique<Encoder>(to, littleEndian);
}

} // namespace ZymCharset::Platform
