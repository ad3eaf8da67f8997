#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/SecurityIDCache.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <vector>

namespace ZymSecurity {

// The credentials a thread or process acts with, as its access token holds
// them: the user's SID and the SIDs of the groups, the primary group first,
// each once.
class ZYM_EXPORT AccessToken : public Zym::SPRefCounter {
public:
    AccessToken(const BinarySID& user, const std::vector<BinarySID>& groups);

    const BinarySID& GetUser() const noexcept { return m_User; }
    const std::vector<BinarySID>& GetGroups() const noexcept { return m_Groups; }

private:
    BinarySID m_User;
    std::vector<BinarySID> m_Groups;
};

using AccessTokenPtr = Zym::SmartPtr<AccessToken>;

// The user part of a token: the user's SID, not yet resolved to a name.
struct ZYM_EXPORT TokenUser {
    BinarySID sid;
};

// The group part of a token: one SID per group, primary group first.
struct ZYM_EXPORT TokenGroups {
    std::vector<BinarySID> sids;
};

class ZYM_EXPORT NetworkSecurity {
public:
    // The calling thread's own credentials, which differ from the process's
    // while the thread acts as another account. Raises TokenException on
    // failure.
    static AccessTokenPtr GetCurrentThreadHandle();
    static AccessTokenPtr GetCurrentProcessHandle();

    static TokenUser GetUserToken(const AccessToken& token);
    static TokenGroups GetGroupsToken(const AccessToken& token);
    static SecurityIDPtr GetUserSID(const TokenUser& user);
    // Appends the resolved identity of every group.
    static void GetGroupsSIDs(const TokenGroups& groups, std::vector<SecurityIDPtr>& sids);
};

} // namespace ZymSecurity
