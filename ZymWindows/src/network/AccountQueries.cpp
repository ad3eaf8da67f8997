#include "ZymWindows/Exceptions.h"
#include "ZymWindows/NTNetwork.h"
#include "network/ProviderRegistry.h"
#include "network/ResultCodes.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>

namespace ZymWindows {

using Network::Query;
using ZymSecurity::SecurityIDCache;

namespace {

const std::u16string SERVER_PREFIX = u"\\\\";
const std::u16string SEPARATOR = u"\\";

// Entries asked for per page of a display listing.
constexpr unsigned long DISPLAY_PAGE = 32;

// A cached listing: the cached list replaces the result's content; else
// `query` appends to the result, and a query that succeeds leaves its whole
// result cached (an entry another thread made meanwhile stays). The query
// runs without the lock, so that a slow server holds up no other caller:
// two first lookups of one key may both ask, and the first answer stays.
template <class Key, class Ask>
void Cached(ZymThread::ReadWriteSemaphore& lock, std::map<Key, NTNetwork::SIDs>& cache,
            const Key& key, NTNetwork::SIDs& result, Ask query) {
    {
        ZymThread::ReadLockGuard reading(lock);
        const auto found = cache.find(key);
        if (found != cache.end()) {
            result = found->second;
            return;
        }
    }
    query(result);
    ZymThread::WriteLockGuard writing(lock);
    cache.emplace(key, result);
}

// The identity of a listed account: by its SID when the listing gave one,
// else by its name, resolved on `server`.
ZymSecurity::SecurityIDPtr IdentityOf(const Network::Account& account,
                                      const std::u16string& server) {
    if (account.HasSID())
        return SecurityIDCache::CreateSecurityIDFromPSID(account.sid.Bytes().data(), server);
    return SecurityIDCache::CreateSecurityID(account.name, server);
}

void Check(Query query, unsigned long result) {
    if (result != 0)
        Network::ThrowQueryFailure(query, result);
}

// Walks a paged display listing, 32 entries per call along the server's
// next-index chain, handing each page to `take`.
template <class Take>
void Page(const std::u16string& server, Network::DisplayLevel level, Query query, Take take) {
    const std::shared_ptr<Network::Provider> provider = Network::CurrentProvider();
    unsigned long index = 0;
    for (;;) {
        std::vector<Network::DisplayEntry> page;
        const unsigned long result =
            provider->QueryDisplayInformation(server, level, index, DISPLAY_PAGE, page);
        if (result != 0 && result != Zym::ERROR_MORE_DATA)
            Network::ThrowQueryFailure(query, result);
        take(page);
        if (result == 0)
            return;
        // A server that says more follows but gives nothing would send
        // the walk round for ever.
        if (page.empty())
            Network::ThrowQueryFailure(query, result);
        index = page.back().nextIndex;
    }
}

std::u16string MachineOf(const std::u16string& server) {
    return server.size() < 2 ? std::u16string() : server.substr(2);
}

} // namespace

void NTNetwork::InternalGetUsers(const std::u16string& server, const std::u16string& domain,
                                 SIDs& users) {
    Cached(m_UsersLock, m_mUsersCache, server, users, [&](SIDs& result) {
        const std::u16string machine = MachineOf(server);
        Page(server, Network::DISPLAY_USERS, Query::USERS,
             [&](const std::vector<Network::DisplayEntry>& page) {
                 const ZymSecurity::SecurityIDPtr domainIdentity =
                     SecurityIDCache::CreateSecurityID(domain, machine);
                 for (const Network::DisplayEntry& entry : page)
                     result.push_back(
                         SecurityIDCache::CreateSecurityID(domainIdentity, entry.rid, machine));
             });
    });
}

void NTNetwork::InternalGetLocalGroups(const std::u16string& server, SIDs& groups) {
    Cached(m_GroupsLock, m_mLocalGroupsCache, server, groups, [&](SIDs& result) {
        std::vector<Network::Account> found;
        Check(Query::LOCAL_GROUPS, Network::CurrentProvider()->LocalGroupEnum(server, found));
        const std::u16string machine = MachineOf(server);
        for (const Network::Account& group : found)
            result.push_back(IdentityOf(group, machine));
    });
}

void NTNetwork::InternalGetGlobalGroups(const std::u16string& server, const std::u16string& domain,
                                        SIDs& groups) {
    Cached(m_GroupsLock, m_mGlobalGroupsCache, server, groups, [&](SIDs& result) {
        const std::u16string machine = MachineOf(server);
        Page(server, Network::DISPLAY_GROUPS, Query::GLOBAL_GROUPS,
             [&](const std::vector<Network::DisplayEntry>& page) {
                 for (const Network::DisplayEntry& entry : page)
                     result.push_back(SecurityIDCache::CreateSecurityID(
                         domain + SEPARATOR + entry.name, machine));
             });
    });
}

void NTNetwork::GetLocalUsers(const std::u16string& machine, SIDs& users) {
    const std::u16string name = Zym::ToLower(machine.empty() ? GetLocalComputerName() : machine);
    InternalGetUsers(SERVER_PREFIX + name, name, users);
}

void NTNetwork::GetGlobalUsers(const std::u16string& domain, SIDs& users) {
    const std::u16string name = Zym::ToLower(domain);
    std::u16string controller;
    GetDomainController(name, controller, false);
    InternalGetUsers(controller, name, users);
}

void NTNetwork::GetLocalGroups(const std::u16string& machine, SIDs& groups) {
    InternalGetLocalGroups(
        SERVER_PREFIX + Zym::ToLower(machine.empty() ? GetLocalComputerName() : machine), groups);
}

void NTNetwork::GetGlobalGroups(const std::u16string& domain, SIDs& groups) {
    const std::u16string name = Zym::ToLower(domain);
    std::u16string controller;
    GetDomainController(name, controller, false);
    InternalGetGlobalGroups(controller, name, groups);
}

void NTNetwork::GetLocalGroupsForUser(const std::u16string& machine, const std::u16string& domain,
                                      const std::u16string& user, SIDs& groups) {
    const std::u16string m = Zym::ToLower(machine);
    const std::u16string account =
        domain.empty() ? Zym::ToLower(user) : Zym::ToLower(domain) + SEPARATOR + Zym::ToLower(user);
    Cached(m_UsersLock, m_mUsersGroupsCache, NamePair(m, account), groups, [&](SIDs& result) {
        std::vector<Network::Account> found;
        Check(Query::GROUPS_FOR_USER,
              Network::CurrentProvider()->UserGetLocalGroups(SERVER_PREFIX + m, account, found));
        for (const Network::Account& group : found)
            result.push_back(IdentityOf(group, m));
    });
}

void NTNetwork::GetGlobalGroupsForUser(const std::u16string& domain, const std::u16string& user,
                                       SIDs& groups) {
    const NamePair key(Zym::ToLower(domain), Zym::ToLower(user));
    Cached(m_UsersLock, m_mUsersGroupsCache, key, groups, [&](SIDs& result) {
        std::u16string controller;
        GetDomainController(key.first, controller, false);
        std::vector<Network::Account> found;
        Check(Query::GROUPS_FOR_USER,
              Network::CurrentProvider()->UserGetGroups(controller, user, found));
        for (const Network::Account& group : found)
            result.push_back(
                SecurityIDCache::CreateSecurityID(domain + SEPARATOR + group.name, controller));
    });
}

void NTNetwork::GetMembersForLocalGroup(const std::u16string& machine, const std::u16string& group,
                                        SIDs& members) {
    const std::u16string server = SERVER_PREFIX + Zym::ToLower(machine);
    const NamePair key(server, Zym::ToLower(group));
    Cached(m_GroupsLock, m_mGroupsLocalMemberCache, key, members, [&](SIDs& result) {
        std::vector<ZymSecurity::BinarySID> found;
        Check(Query::LOCAL_GROUP_MEMBERS,
              Network::CurrentProvider()->LocalGroupGetMembers(server, key.second, found));
        for (const ZymSecurity::BinarySID& sid : found)
            result.push_back(
                SecurityIDCache::CreateSecurityIDFromPSID(sid.Bytes().data(), machine));
    });
}

void NTNetwork::GetMembersForGlobalGroup(const std::u16string& domain, const std::u16string& group,
                                         SIDs& members) {
    const NamePair key(domain, Zym::ToLower(group));
    Cached(m_GroupsLock, m_mGroupsGlobalMemberCache, key, members, [&](SIDs& result) {
        std::u16string controller;
        GetDomainController(domain, controller, false);
        std::vector<Network::Account> found;
        Check(Query::GLOBAL_GROUP_MEMBERS,
              Network::CurrentProvider()->GroupGetUsers(controller, group, found));
        for (const Network::Account& user : found)
            result.push_back(
                SecurityIDCache::CreateSecurityID(domain + SEPARATOR + user.name, controller));
    });
}

const std::u16string& NTNetwork::GetLocalAdministratorGroupName() {
    {
        ZymThread::ReadLockGuard reading(m_DomainCacheLock);
        if (!m_LocalAdmin.empty())
            return m_LocalAdmin;
    }
    const ZymSecurity::BinarySID administrators(5, {32, 544});
    Network::ResolvedAccount resolved;
    const unsigned long result =
        Network::CurrentProvider()->LookupAccountSid(u"", administrators, resolved);
    if (result != 0 || resolved.name.empty()) {
        Zym::SetLastError(result);
        throw WindowsQueryAdminGroupException();
    }
    ZymThread::WriteLockGuard writing(m_DomainCacheLock);
    if (m_LocalAdmin.empty())
        m_LocalAdmin = resolved.name;
    return m_LocalAdmin;
}

} // namespace ZymWindows
