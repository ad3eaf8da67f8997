#include "Router.h"

#include "network/NetworkPlatform.h"

namespace ZymWindows::Network {

Router::Router(std::unique_ptr<Provider> local, std::unique_ptr<Provider> (*makeRemote)())
    : m_Local(std::move(local)), m_MakeRemote(makeRemote) {}

Provider& Router::Remote() {
    std::call_once(m_RemoteMade, [this] { m_Remote = m_MakeRemote(); });
    return *m_Remote;
}

Provider& Router::For(const std::u16string& machine) {
    return IsThisComputer(machine) ? *m_Local : Remote();
}

// The domains of the network are the ones Samba knows; without Samba this
// computer knows its own workgroup.
unsigned long Router::ServerEnum(const std::u16string& domain, unsigned long type,
                                 std::vector<std::u16string>& names) {
    if (!domain.empty())
        return For(domain).ServerEnum(domain, type, names);
    const unsigned long result = Remote().ServerEnum(domain, type, names);
    if (result == 0 || type != SV_TYPE_DOMAIN_ENUM)
        return result;
    return m_Local->ServerEnum(domain, type, names);
}

// The controller of no name in particular is the one of this computer's
// domain, which only Samba knows.
unsigned long Router::GetDcName(const std::u16string& domain, bool primary,
                                std::u16string& controller) {
    return (domain.empty() ? Remote() : For(domain)).GetDcName(domain, primary, controller);
}

// This computer belongs to the domain or workgroup its Samba configuration
// names, when there is one; else the local provider tells.
unsigned long Router::WkstaGetInfo(const std::u16string& machine, std::u16string& domain) {
    if (!IsThisComputer(machine))
        return Remote().WkstaGetInfo(machine, domain);
    std::u16string configured;
    if (Remote().WkstaGetInfo(u"", configured) == 0 && !configured.empty()) {
        domain = configured;
        return 0;
    }
    return m_Local->WkstaGetInfo(machine, domain);
}

unsigned long Router::ServerGetInfo(const std::u16string& server) {
    return For(server).ServerGetInfo(server);
}

unsigned long Router::ShareEnum(const std::u16string& server, std::vector<std::u16string>& shares) {
    return For(server).ShareEnum(server, shares);
}

unsigned long Router::QueryDisplayInformation(const std::u16string& server, DisplayLevel level,
                                              unsigned long index, unsigned long count,
                                              std::vector<DisplayEntry>& page) {
    return For(server).QueryDisplayInformation(server, level, index, count, page);
}

unsigned long Router::LocalGroupEnum(const std::u16string& server, std::vector<Account>& groups) {
    return For(server).LocalGroupEnum(server, groups);
}

unsigned long Router::UserGetLocalGroups(const std::u16string& server,
                                         const std::u16string& account,
                                         std::vector<Account>& groups) {
    return For(server).UserGetLocalGroups(server, account, groups);
}

unsigned long Router::UserGetGroups(const std::u16string& server, const std::u16string& user,
                                    std::vector<Account>& groups) {
    return For(server).UserGetGroups(server, user, groups);
}

unsigned long Router::LocalGroupGetMembers(const std::u16string& server,
                                           const std::u16string& group,
                                           std::vector<ZymSecurity::BinarySID>& members) {
    return For(server).LocalGroupGetMembers(server, group, members);
}

unsigned long Router::GroupGetUsers(const std::u16string& server, const std::u16string& group,
                                    std::vector<Account>& users) {
    return For(server).GroupGetUsers(server, group, users);
}

unsigned long Router::LookupAccountName(const std::u16string& server, const std::u16string& account,
                                        ResolvedAccount& resolved) {
    return For(server).LookupAccountName(server, account, resolved);
}

unsigned long Router::LookupAccountSid(const std::u16string& server,
                                       const ZymSecurity::BinarySID& sid,
                                       ResolvedAccount& resolved) {
    return For(server).LookupAccountSid(server, sid, resolved);
}

} // namespace ZymWindows::Network
