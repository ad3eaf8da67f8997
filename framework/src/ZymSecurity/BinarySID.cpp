#include "ZymSecurity/BinarySID.h"

#include "ZymSecurity/Exceptions.h"

#include <charconv>
#include <cstring>

namespace ZymSecurity {

namespace {

constexpr unsigned char REVISION = 1;
constexpr unsigned int HEADER_SIZE = 8;
constexpr std::uint64_t MAX_AUTHORITY = (std::uint64_t{1} << 48) - 1;

[[noreturn]] void Invalid(const char16_t* why) {
    throw InvalidSIDException(std::u16string(u"Invalid security identifier: ") + why);
}

// Parses one decimal field of the text form.
std::uint64_t ParseNumber(std::u16string_view field, std::uint64_t max) {
    std::string digits;
    for (char16_t unit : field) {
        if (unit < u'0' || unit > u'9')
            Invalid(u"a field is not a decimal number.");
        digits += static_cast<char>(unit);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || value > max)
        Invalid(u"a field is empty or out of range.");
    return value;
}

} // namespace

BinarySID::BinarySID() : BinarySID(0, {0}) {}

BinarySID::BinarySID(std::uint64_t authority, const std::vector<std::uint32_t>& subAuthorities) {
    if (authority > MAX_AUTHORITY)
        Invalid(u"the identifier authority exceeds 48 bits.");
    if (subAuthorities.size() > MAX_SUB_AUTHORITIES)
        Invalid(u"more than 15 sub-authorities.");
    m_Bytes.reserve(HEADER_SIZE + 4 * subAuthorities.size());
    m_Bytes.push_back(REVISION);
    m_Bytes.push_back(static_cast<unsigned char>(subAuthorities.size()));
    for (int shift = 40; shift >= 0; shift -= 8)
        m_Bytes.push_back(static_cast<unsigned char>(authority >> shift));
    for (std::uint32_t sub : subAuthorities)
        for (int shift = 0; shift < 32; shift += 8)
            m_Bytes.push_back(static_cast<unsigned char>(sub >> shift));
}

BinarySID BinarySID::FromPSID(const void* psid) {
    const auto* bytes = static_cast<const unsigned char*>(psid);
    if (!bytes || bytes[0] != REVISION)
        Invalid(u"unknown revision.");
    if (bytes[1] > MAX_SUB_AUTHORITIES)
        Invalid(u"more than 15 sub-authorities.");
    BinarySID sid;
    sid.m_Bytes.assign(bytes, bytes + HEADER_SIZE + 4 * bytes[1]);
    return sid;
}

BinarySID BinarySID::Parse(std::u16string_view text) {
    if (text.size() < 2 || (text[0] != u'S' && text[0] != u's') || text[1] != u'-')
        Invalid(u"the text does not start with \"S-\".");
    std::vector<std::u16string_view> fields;
    for (std::size_t start = 2;;) {
        const std::size_t dash = text.find(u'-', start);
        fields.push_back(text.substr(start, dash == text.npos ? text.npos : dash - start));
        if (dash == text.npos)
            break;
        start = dash + 1;
    }
    if (fields.size() < 2 || ParseNumber(fields[0], 0xFF) != REVISION)
        Invalid(u"unknown revision or no identifier authority.");
    const std::uint64_t authority = ParseNumber(fields[1], MAX_AUTHORITY);
    std::vector<std::uint32_t> subs;
    for (std::size_t i = 2; i < fields.size(); ++i)
        subs.push_back(static_cast<std::uint32_t>(ParseNumber(fields[i], 0xFFFFFFFFu)));
    return BinarySID(authority, subs);
}

std::u16string BinarySID::ToString() const {
    std::string text = "S-1-";
    text += std::to_string(Authority());
    for (unsigned int i = 0; i < SubAuthorityCount(); ++i) {
        text += '-';
        text += std::to_string(SubAuthority(i));
    }
    return std::u16string(text.begin(), text.end());
}

std::uint64_t BinarySID::Authority() const noexcept {
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i)
        authority = (authority << 8) | m_Bytes[i];
    return authority;
}

std::uint32_t BinarySID::SubAuthority(unsigned int index) const noexcept {
    const unsigned char* p = m_Bytes.data() + HEADER_SIZE + 4 * index;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool operator<(const BinarySID& a, const BinarySID& b) noexcept {
    if (a.m_Bytes.size() != b.m_Bytes.size())
        return a.m_Bytes.size() < b.m_Bytes.size();
    return std::memcmp(a.m_Bytes.data(), b.m_Bytes.data(), a.m_Bytes.size()) < 0;
}

Zym::BinaryStreamT<unsigned int>& operator<<(Zym::BinaryStreamT<unsigned int>& stream,
                                             const BinarySID& sid) {
    stream.Write(sid.Bytes().data(), static_cast<unsigned int>(sid.Bytes().size()));
    return stream;
}

Zym::BinaryStreamT<unsigned int>& operator>>(Zym::BinaryStreamT<unsigned int>& stream,
                                             BinarySID& sid) {
    unsigned char bytes[HEADER_SIZE + 4 * BinarySID::MAX_SUB_AUTHORITIES];
    stream.Read(bytes, HEADER_SIZE);
    if (bytes[0] != REVISION || bytes[1] > BinarySID::MAX_SUB_AUTHORITIES)
        Invalid(u"unknown revision or more than 15 sub-authorities.");
    stream.Read(bytes + HEADER_SIZE, 4u * bytes[1]);
    sid = BinarySID::FromPSID(bytes);
    return stream;
}

} // namespace ZymSecurity
