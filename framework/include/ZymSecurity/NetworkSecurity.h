#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/SecurityIDCache.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <cstdint>
#include <vector>

namespace ZymSecurity {

// The credentials a thread or process acts with: the Unix counterpart of an
// access token. `groups` holds the primary group first, then the
// supplementary groups, each once.
class ZYM_EXPORT AccessToken : public Zym::SPRefCounter {
public:
    AccessToken(std::uint32_t uid, std::uint32_t gid, const std::vector<std::uint32_t>& groups);

    std::uint32_t GetUid() const noexcept { return m_Uid; }
    std::uint32_t GetGid() const noexcept { return m_Gid; }
    const std::vector<std::uint32_t>& GetGroups() const noexcept { return m_Groups; }

private:
    std::uint32_t m_Uid;
    std::uint32_t m_Gid;
    std::vector<std::uint32_t> m_Groups;
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
    // The calling thread's own credentials (effective user and group and
    // the supplementary groups), which may differ from the process's while
    // the thread acts as another account. Raises TokenException on failure.
    static AccessTokenPtr GetCurrentThreadHandle();
    static AccessTokenPtr GetCurrentProcessHandle();

    static TokenUser GetUserToken(const AccessToken& token);
    static TokenGroups GetGroupsToken(const AccessToken& token);
    static SecurityIDPtr GetUserSID(const TokenUser& user);
    // Appends the resolved identity of every group.
    static void GetGroupsSIDs(const TokenGroups& groups, std::vector<SecurityIDPtr>& sids);
};

} // namespace ZymSecurity
