#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/SecurityIDCache.h>

#include <Zym/BinaryStream.h>

#include <string>
#include <vector>

namespace ZymSecurity {

// A security identity together with the name of the machine that resolved
// it, so that it keeps its meaning when it travels to another machine.
class ZYM_EXPORT NetworkID {
public:
    NetworkID() = default;
    NetworkID(const SecurityIDPtr& securityID, const std::u16string& machine);

    const SecurityIDPtr& GetSecurityID() const noexcept { return m_SecurityID; }
    const std::u16string& GetMachine() const noexcept { return m_Machine; }
    // The account's name and domain; empty for an empty ID.
    const std::u16string& GetName() const noexcept;
    const std::u16string& GetDomain() const noexcept;

    // Appends one NetworkID per SID, each qualified with `machine`.
    static void ConvertSIDsToNetworkIDs(const std::vector<SecurityIDPtr>& sids,
                                        const std::u16string& machine,
                                        std::vector<NetworkID>& networkIDs);

    friend ZYM_EXPORT bool operator==(const NetworkID& a, const NetworkID& b);

private:
    SecurityIDPtr m_SecurityID;
    std::u16string m_Machine;
};

// Stream form: the binary SID, the account name, the domain, the SID type
// (32-bit) and the machine name. Writing an empty ID raises
// InvalidSIDException; reading raises it for malformed bytes, and the
// stream's own exceptions when the data ends early.
ZYM_EXPORT Zym::BinaryStreamT<unsigned int>& operator<<(Zym::BinaryStreamT<unsigned int>& stream,
                                                        const NetworkID& id);
ZYM_EXPORT Zym::BinaryStreamT<unsigned int>& operator>>(Zym::BinaryStreamT<unsigned int>& stream,
                                                        NetworkID& id);

} // namespace ZymSecurity
