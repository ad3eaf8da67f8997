#include "ZymSecurity/NetworkSecurity.h"

#include "Platform.h"
#include "ZymSecurity/Exceptions.h"

#include <Zym/LastError.h>

#include <algorithm>

namespace ZymSecurity {

namespace {

AccessTokenPtr TokenFrom(unsigned long code, const Platform::Credentials& credentials) {
    if (code != Zym::ERROR_SUCCESS)
        throw TokenException(Zym::GetLastErrorMessage(code));
    return new AccessToken(credentials.user, credentials.groups);
}

} // namespace

AccessToken::AccessToken(const BinarySID& user, const std::vector<BinarySID>& groups)
    : m_User(user) {
    for (const BinarySID& group : groups)
        if (std::find(m_Groups.begin(), m_Groups.end(), group) == m_Groups.end())
            m_Groups.push_back(group);
}

AccessTokenPtr NetworkSecurity::GetCurrentThreadHandle() {
    Platform::Credentials credentials;
    const unsigned long code = Platform::ThreadCredentials(credentials);
    return TokenFrom(code, credentials);
}

AccessTokenPtr NetworkSecurity::GetCurrentProcessHandle() {
    Platform::Credentials credentials;
    const unsigned long code = Platform::ProcessCredentials(credentials);
    return TokenFrom(code, credentials);
}

TokenUser NetworkSecurity::GetUserToken(const AccessToken& token) {
    return TokenUser{token.GetUser()};
}

TokenGroups NetworkSecurity::GetGroupsToken(const AccessToken& token) {
    return TokenGroups{token.GetGroups()};
}

SecurityIDPtr NetworkSecurity::GetUserSID(const TokenUser& user) {
    return SecurityIDCache::CreateSecurityID(user.sid);
}

void NetworkSecurity::GetGroupsSIDs(const TokenGroups& groups, std::vector<SecurityIDPtr>& sids) {
    for (const BinarySID& sid : groups.sids)
        sids.push_back(SecurityIDCache::CreateSecurityID(sid));
}

} // namespace ZymSecurity
