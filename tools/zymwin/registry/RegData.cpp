#include "RegData.h"

#include "RegCli.h"

#include <Zym/HexDigit.h>
#include <ZymWindows/Registry.h>

#include <cerrno>
#include <cstdlib>

namespace zymwin::reg {

namespace {

void AppendText(std::vector<unsigned char>& out, const std::string& utf8) {
    for (const char16_t unit : Wide(utf8)) {
        out.push_back(static_cast<unsigned char>(unit & 0xFF));
        out.push_back(static_cast<unsigned char>(unit >> 8));
    }
    out.insert(out.end(), 2, 0);
}

// Decimal, or hex after 0x; no sign, at most `max`.
std::uint64_t Number(const std::string& text, std::uint64_t max, const char* type) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || *end != '\0' || errno != 0 ||
        value > max)
        throw UsageError{"'" + text + "' is not a valid " + type + " number"};
    return value;
}

void AppendLittleEndian(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> HexBytes(const std::string& text) {
    if (text.size() % 2 != 0)
        throw UsageError{"binary data needs an even number of hex digits"};
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = Zym::HexDigit(text[i]);
        const int low = Zym::HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            throw UsageError{"binary data must be hex digits, such as 0aff"};
        out.push_back(static_cast<unsigned char>(high << 4 | low));
    }
    return out;
}

} // namespace

std::vector<unsigned char> DataFor(unsigned long type, const std::string& data,
                                   const std::string& separator) {
    std::vector<unsigned char> out;
    switch (type) {
    case ZymWindows::REG_SZ:
    case ZymWindows::REG_EXPAND_SZ:
        AppendText(out, data);
        return out;
    case ZymWindows::REG_MULTI_SZ: {
        if (separator.empty())
            throw UsageError{"the REG_MULTI_SZ separator cannot be empty"};
        std::size_t start = 0;
        while (start < data.size()) {
            const auto end = std::min(data.find(separator, start), data.size());
            AppendText(out, data.substr(start, end - start));
            start = end + separator.size();
        }
        out.insert(out.end(), 2, 0);
        return out;
    }
    case ZymWindows::REG_DWORD:
        AppendLittleEndian(out, Number(data, 0xFFFFFFFFull, "REG_DWORD"), 4);
        return out;
    case ZymWindows::REG_DWORD_BIG_ENDIAN: {
        const std::uint64_t value = Number(data, 0xFFFFFFFFull, "REG_DWORD_BIG_ENDIAN");
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<unsigned char>(value >> shift));
        return out;
    }
    case ZymWindows::REG_QWORD:
        AppendLittleEndian(out, Number(data, ~0ull, "REG_QWORD"), 8);
        return out;
    default:
        return HexBytes(data);
    }
}

} // namespace zymwin::reg
