#include "ZymSecurity/NetworkSecurity.h"

#include "Platform.h"
#include "ZymSecurity/Exceptions.h"

#include <Zym/LastError.h>

#include <algorithm>

namespace ZymSecurity {

namespace {

AccessTokenPtr TokenFrom(bool read, const Platform::Credentials& credentials) {
    if (!read)
        throw TokenException(Zym::GetLastErrorMessage(0));
    return new AccessToken(credentials.uid, credentials.gid, credentials.groups);
}

} // namespace

AccessToken::AccessToken(std::uint32_t uid, std::uint32_t gid,
                         const std::vector<std::uint32_t>& groups)
    : m_Uid(uid), m_Gid(gid), m_Groups{gid} {
    for (std::uint32_t group : groups)
        if (std::find(m_Groups.begin(), m_Groups.end(), group) == m_Groups.end())
            m_Groups.push_back(group);
}

AccessTokenPtr NetworkSecurity::GetCurrentThreadHandle() {
    Platform::Credentials credentials;
    const bool read = Platform::ThreadCredentials(credentials);
    return TokenFrom(read, credentials);
}

AccessTokenPtr NetworkSecurity::GetCurrentProcessHandle() {
    Platform::Credentials credentials;
    const bool read = Platform::ProcessCredentials(credentials);
    return TokenFrom(read, credentials);
}

TokenUser NetworkSecurity::GetUserToken(const AccessToken& token) {
    return TokenUser{BinarySID::UnixUser(token.GetUid())};
}

TokenGroups NetworkSecurity::GetGroupsToken(const AccessToken& token) {
    TokenGroups groups;
    for (std::uint32_t gid : token.GetGroups())
        groups.sids.push_back(BinarySID::UnixGroup(gid));
    return groups;
}

SecurityIDPtr NetworkSecurity::GetUserSID(const TokenUser& user) {
    return SecurityIDCache::CreateSecurityID(user.sid);
}

void NetworkSecurity::GetGroupsSIDs(const TokenGroups& groups, std::vector<SecurityIDPtr>& sids) {
    for (const BinarySID& sid : groups.sids)
        sids.push_back(SecurityIDCache::CreateSecurityID(sid));
}

} // namespace ZymSecurity
