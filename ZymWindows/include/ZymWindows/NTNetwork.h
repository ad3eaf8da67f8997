#pragma once

#include <ZymWindows/Export.h>

#include <ZymSecurity/SecurityIDCache.h>
#include <ZymThread/CriticalSection.h>
#include <ZymThread/ReadWriteSemaphore.h>

#include <Zym/RefCountVector.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ZymWindows {

// Questions about the network this machine belongs to: domains, workgroups,
// servers and shares, domain controllers, and the users and groups of
// machines and domains. Static operations only. Answers are kept in
// process-wide caches until ClearCache; names in results and cache keys are
// lower-cased unless a function says otherwise. Failures raise the
// exceptions of ZymWindows/Exceptions.h with an empty message. Any thread
// may call any function.
class ZYMWINDOWS_EXPORT NTNetwork {
public:
    NTNetwork() = delete;

    using SIDs = Zym::RefCountVector<ZymSecurity::SecurityID, ZymSecurity::SecurityIDPtr>;

    enum DomainType : std::uint32_t { TYPE_UNKNOWN = 0, TYPE_SERVER = 1, TYPE_DOMAIN = 2 };

    // One entry of the domain cache.
    struct DomainWorkGroupServerCache {
        enum Kind : std::int32_t { DOMAIN = 0, WORKGROUP = 1, SERVER = 2, UNKNOWN = 3 };
        std::int32_t kind = UNKNOWN;
        // "\\name" of the domain's controller, for a domain only.
        std::u16string controller;
    };

    // The domains (a controller answers) and workgroups (none does) of the
    // network, read once; appended in name order.
    static void GetDomains(std::vector<std::u16string>& domains);
    static void GetWorkGroups(std::vector<std::u16string>& workGroups);
    // The servers of a domain, in the network's own case; not cached.
    static void GetDomainServers(const std::u16string& domain,
                                 std::vector<std::u16string>& servers);
    // "SERVER\share" for every share of a server, `server` as passed.
    static void GetServerShares(const std::u16string& server, std::vector<std::u16string>& shares);
    // The "\\name" of a domain's controller; `primary` asks the network for
    // the primary one and replaces what was cached.
    static void GetDomainController(const std::u16string& domain, std::u16string& controller,
                                    bool primary);
    // This computer's name, read once for the life of the process.
    static const std::u16string& GetLocalComputerName();
    // The domain or workgroup of a machine.
    static void GetDomainForMachine(const std::u16string& machine, std::u16string& domain);
    // Whether a name is a domain (or workgroup), a server, or neither.
    static DomainType GetDomainType(const std::u16string& name);

    // Accounts and groups, as shared identities. An empty machine is this
    // computer for the users and groups of a machine; results are appended to
    // an empty list, or replace its content when answered from the cache.
    static void GetLocalUsers(const std::u16string& machine, SIDs& users);
    static void GetGlobalUsers(const std::u16string& domain, SIDs& users);
    static void GetLocalGroups(const std::u16string& machine, SIDs& groups);
    static void GetGlobalGroups(const std::u16string& domain, SIDs& groups);
    static void GetLocalGroupsForUser(const std::u16string& machine, const std::u16string& domain,
                                      const std::u16string& user, SIDs& groups);
    static void GetGlobalGroupsForUser(const std::u16string& domain, const std::u16string& user,
                                       SIDs& groups);
    static void GetMembersForLocalGroup(const std::u16string& machine, const std::u16string& group,
                                        SIDs& members);
    static void GetMembersForGlobalGroup(const std::u16string& domain, const std::u16string& group,
                                         SIDs& members);
    // The local administrators group's name, in the system's own case.
    static const std::u16string& GetLocalAdministratorGroupName();

    // Empties the caches, except the groups of users, the computer name and
    // the administrators group's name.
    static void ClearCache();

private:
    using NamePair = std::pair<std::u16string, std::u16string>;

    static void FillDomainsCache();
    static void ListDomainsOfKind(std::int32_t kind, std::vector<std::u16string>& names);
    static void InternalGetUsers(const std::u16string& server, const std::u16string& domain,
                                 SIDs& users);
    static void InternalGetLocalGroups(const std::u16string& server, SIDs& groups);
    static void InternalGetGlobalGroups(const std::u16string& server, const std::u16string& domain,
                                        SIDs& groups);

    static std::map<std::u16string, DomainWorkGroupServerCache> m_mDomainCache;
    static bool m_DomainCacheInitialized;
    static std::map<std::u16string, std::u16string> m_mMachineDomainCache;
    static std::u16string m_ComputerName;
    static std::u16string m_LocalAdmin;
    static ZymThread::ReadWriteSemaphore m_DomainCacheLock;
    static ZymThread::CriticalSection m_FillLock;

    static std::map<std::u16string, SIDs> m_mUsersCache;
    static std::map<NamePair, SIDs> m_mUsersGroupsCache;
    static ZymThread::ReadWriteSemaphore m_UsersLock;

    static std::map<std::u16string, SIDs> m_mLocalGroupsCache;
    static std::map<std::u16string, SIDs> m_mGlobalGroupsCache;
    static std::map<NamePair, SIDs> m_mGroupsLocalMemberCache;
    static std::map<NamePair, SIDs> m_mGroupsGlobalMemberCache;
    static ZymThread::ReadWriteSemaphore m_GroupsLock;
};

} // namespace ZymWindows
