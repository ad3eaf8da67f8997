#include "uuid/UuidPlatform.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/Registry.h"
#include "ZymWindows/Uuid.h"

#include <Zym/HexDigit.h>
#include <ZymCharset/Conv.h>

#include <string_view>

namespace ZymWindows {

namespace {

constexpr long RPC_S_UUID_NO_ADDRESS = 1739;
constexpr std::size_t TEXT_LENGTH = 36;
constexpr std::size_t BRACED_LENGTH = 38;
constexpr const char* DIGITS = "0123456789abcdef";

// Reads `count` hex digits at `at`.
bool ReadHex(std::string_view text, std::size_t at, std::size_t count, std::uint32_t& value) {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const int digit = Zym::HexDigit(text[i]);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// The 36-character form, hyphens at 8, 13, 18 and 23, digits of either case.
bool ParseText(std::string_view text, GUID& guid) {
    if (text.size() != TEXT_LENGTH || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-')
        return false;
    std::uint32_t value = 0;
    if (!ReadHex(text, 0, 8, value))
        return false;
    guid.Data1 = value;
    if (!ReadHex(text, 9, 4, value))
        return false;
    guid.Data2 = static_cast<std::uint16_t>(value);
    if (!ReadHex(text, 14, 4, value))
        return false;
    guid.Data3 = static_cast<std::uint16_t>(value);
    constexpr std::size_t BYTE_AT[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (std::size_t i = 0; i < 8; ++i) {
        if (!ReadHex(text, BYTE_AT[i], 2, value))
            return false;
        guid.Data4[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

void AppendHex(std::string& out, std::uint32_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += DIGITS[(value >> shift) & 0xF];
}

} // namespace

Uuid::Uuid() : m_Guid{} {}

Uuid::Uuid(const Uuid& other) = default;

Uuid::Uuid(const GUID& guid) : m_Guid(guid) {}

Uuid::Uuid(const std::string& text) : m_Guid{} {
    StringToUuid(text, m_Guid);
}

Uuid::Uuid(const std::u16string& text) : m_Guid{} {
    StringToUuid(ZymCharset::Conv::FromWide(Zym::CHARSET_ANSI, text), m_Guid);
}

Uuid::~Uuid() = default;

Uuid& Uuid::operator=(const Uuid& other) = default;

bool operator==(const Uuid& a, const Uuid& b) noexcept {
    return a.m_Guid == b.m_Guid;
}

Uuid Uuid::Generate() {
    Uuid uuid;
    if (Platform::UuidCreate(uuid.m_Guid) == RPC_S_UUID_NO_ADDRESS)
        throw WindowsUUIDInvalidNetworkAddressException();
    return uuid;
}

const std::string Uuid::AsString() const {
    std::string text;
    text.reserve(TEXT_LENGTH);
    AppendHex(text, m_Guid.Data1, 8);
    text += '-';
    AppendHex(text, m_Guid.Data2, 4);
    text += '-';
    AppendHex(text, m_Guid.Data3, 4);
    text += '-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2)
            text += '-';
        AppendHex(text, m_Guid.Data4[i], 2);
    }
    return text;
}

const std::u16string Uuid::AsWString() const {
    return ZymCharset::Conv::ToWide(Zym::CHARSET_ANSI, AsString());
}

void Uuid::StringToUuid(const std::string& text, GUID& guid) const {
    if (text.empty())
        throw WindowsInvalidUUIDStringException();
    // The system parses a zero-terminated copy: the text ends at its first NUL.
    const std::string terminated = text.substr(0, text.find('\0'));
    if (!ParseText(terminated, guid) && !ProgIdToUuid(terminated, guid))
        throw WindowsInvalidUUIDStringException();
}

bool Uuid::ProgIdToUuid(const std::string& progId, GUID& guid) const {
    try {
        const auto key =
            RegKeyT<char>::Create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + progId + "\\CLSID",
                                  RegKeyT<char>::OPEN_READ_ONLY);
        const std::string clsid = key->GetStringValue("").ReadString();
        // The braces around the identifier are not examined.
        return clsid.size() == BRACED_LENGTH && ParseText(clsid.substr(1, TEXT_LENGTH), guid);
    } catch (const RegistryException&) {
        return false;
    }
}

} // namespace ZymWindows
