#include "ZymSecurity/NetworkID.h"

#include "ZymSecurity/Exceptions.h"

namespace ZymSecurity {

namespace {

const std::u16string EMPTY;

} // namespace

NetworkID::NetworkID(const SecurityIDPtr& securityID, const std::u16string& machine)
    : m_SecurityID(securityID), m_Machine(machine) {}

const std::u16string& NetworkID::GetName() const noexcept {
    return m_SecurityID ? m_SecurityID->GetName() : EMPTY;
}

const std::u16string& NetworkID::GetDomain() const noexcept {
    return m_SecurityID ? m_SecurityID->GetDomain() : EMPTY;
}

void NetworkID::ConvertSIDsToNetworkIDs(const std::vector<SecurityIDPtr>& sids,
                                        const std::u16string& machine,
                                        std::vector<NetworkID>& networkIDs) {
    networkIDs.reserve(networkIDs.size() + sids.size());
    for (const SecurityIDPtr& sid : sids)
        networkIDs.emplace_back(sid, machine);
}

bool operator==(const NetworkID& a, const NetworkID& b) {
    if (a.m_Machine != b.m_Machine || a.m_SecurityID.IsNull() != b.m_SecurityID.IsNull())
        return false;
    if (a.m_SecurityID.IsNull())
        return true;
    const SecurityID& x = *a.m_SecurityID;
    const SecurityID& y = *b.m_SecurityID;
    return x.GetSID() == y.GetSID() && x.GetName() == y.GetName() &&
           x.GetDomain() == y.GetDomain() && x.GetType() == y.GetType();
}

Zym::BinaryStreamT<unsigned int>& operator<<(Zym::BinaryStreamT<unsigned int>& stream,
                                             const NetworkID& id) {
    const SecurityIDPtr& sid = id.GetSecurityID();
    if (!sid)
        throw InvalidSIDException(u"An empty network identity cannot be written.");
    return stream << sid->GetSID() << sid->GetName() << sid->GetDomain()
                  << static_cast<std::uint32_t>(sid->GetType()) << id.GetMachine();
}

Zym::BinaryStreamT<unsigned int>& operator>>(Zym::BinaryStreamT<unsigned int>& stream,
                                             NetworkID& id) {
    BinarySID sid;
    std::u16string name, domain, machine;
    std::uint32_t type = 0;
    stream >> sid >> name >> domain >> type >> machine;
    if (type < SidTypeUser || type > SidTypeLogonSession)
        throw InvalidSIDException(u"Invalid security identifier: unknown account type.");
    id = NetworkID(SecurityIDCache::CreateSecurityID(sid, name, domain, static_cast<SIDType>(type)),
                   machine);
    return stream;
}

} // namespace ZymSecurity
