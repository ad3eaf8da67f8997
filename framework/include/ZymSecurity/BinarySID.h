#pragma once

#include <Zym/Export.h>

#include <Zym/BinaryStream.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ZymSecurity {

// A security identifier in its binary form: revision 1, the sub-authority
// count, a 48-bit big-endian identifier authority, then the sub-authorities,
// 32-bit little-endian each.
class ZYM_EXPORT BinarySID {
public:
    static constexpr unsigned int MAX_SUB_AUTHORITIES = 15;
    // The authority of Unix accounts: their SIDs name an account of the
    // machine that issued them, where any other SID names one account
    // wherever it is resolved.
    static constexpr std::uint64_t UNIX_AUTHORITY = 22;

    // The null SID, S-1-0-0.
    BinarySID();
    // Raises InvalidSIDException for an authority above 48 bits or more than
    // MAX_SUB_AUTHORITIES sub-authorities.
    BinarySID(std::uint64_t authority, const std::vector<std::uint32_t>& subAuthorities);

    // Reads the self-describing SID at `psid`; its header gives its length.
    static BinarySID FromPSID(const void* psid);
    // Parses the text form "S-1-<authority>(-<sub-authority>)*".
    static BinarySID Parse(std::u16string_view text);

    std::u16string ToString() const;
    const std::vector<unsigned char>& Bytes() const noexcept { return m_Bytes; }
    std::uint64_t Authority() const noexcept;
    unsigned int SubAuthorityCount() const noexcept { return m_Bytes[1]; }
    std::uint32_t SubAuthority(unsigned int index) const noexcept;

    friend bool operator==(const BinarySID&, const BinarySID&) = default;
    // Any strict order will do: it only sorts SIDs in maps.
    friend ZYM_EXPORT bool operator<(const BinarySID& a, const BinarySID& b) noexcept;

private:
    std::vector<unsigned char> m_Bytes;
};

// The binary form on a stream: the SID's own bytes, self-delimiting.
ZYM_EXPORT Zym::BinaryStreamT<unsigned int>& operator<<(Zym::BinaryStreamT<unsigned int>& stream,
                                                        const BinarySID& sid);
// Raises InvalidSIDException when the bytes do not form a SID.
ZYM_EXPORT Zym::BinaryStreamT<unsigned int>& operator>>(Zym::BinaryStreamT<unsigned int>& stream,
                                                        BinarySID& sid);

} // namespace ZymSecurity
