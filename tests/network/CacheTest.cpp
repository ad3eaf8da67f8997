#include "NetworkFixture.h"

#include <future>
#include <thread>

using namespace nettest;
using namespace ZymWindows;

TEST_F(NetworkQueries, PagedUsersFollowTheServersIndexChainAndAreCachedOncePerServer) {
    UseNetworkOf(70);
    NTNetwork::SIDs users;
    NTNetwork::GetGlobalUsers(u"CORP", users);
    ASSERT_EQ(users.size(), 70U);
    EXPECT_EQ(m_Network->DisplayIndexes(), (std::vector<unsigned long>{0, 320, 640}));
    EXPECT_EQ(users[0]->GetString(), u"S-1-5-21-1-2-3-1000");
    EXPECT_EQ(users[69]->GetName(), u"user69");
    EXPECT_EQ(users[69]->GetString(), u"S-1-5-21-1-2-3-1138");

    // A hit replaces the list's content with the very same identities.
    NTNetwork::SIDs again{users[5]};
    NTNetwork::GetGlobalUsers(u"corp", again);
    ASSERT_EQ(again.size(), 70U);
    EXPECT_EQ(again[3].Get(), users[3].Get());
    EXPECT_EQ(m_Network->Calls("QueryDisplayInformation"), 3U);
    EXPECT_EQ(m_Network->Calls("GetDcName"), 1U);

    // The cache key is the controller's name: the same server asked as a
    // machine shares the entry.
    NTNetwork::SIDs local;
    NTNetwork::GetLocalUsers(u"DC1", local);
    EXPECT_EQ(local.size(), 70U);
    EXPECT_EQ(m_Network->Calls("QueryDisplayInformation"), 3U);

    NTNetwork::ClearCache();
    NTNetwork::SIDs fresh;
    NTNetwork::GetGlobalUsers(u"corp", fresh);
    EXPECT_EQ(fresh.size(), 70U);
    EXPECT_EQ(m_Network->Calls("QueryDisplayInformation"), 6U);
}

TEST_F(NetworkQueries, AFailedPageCachesNothingAndKeepsWhatCameBefore) {
    UseNetworkOf(40);
    m_Network->Fail("QueryDisplayInformation", 1722, 1);
    NTNetwork::SIDs users;
    EXPECT_THROW(NTNetwork::GetLocalUsers(u"fs", users), WindowsQueryUsersException);
    EXPECT_EQ(users.size(), 32U);

    m_Network->Fail("QueryDisplayInformation", 0);
    NTNetwork::SIDs retried;
    NTNetwork::GetLocalUsers(u"fs", retried);
    EXPECT_EQ(retried.size(), 40U);
}

TEST_F(NetworkQueries, KeysIgnoreCaseExceptTheDomainOfGlobalMembers) {
    NTNetwork::SIDs a, b, c, d;
    NTNetwork::GetLocalGroups(u"FS", a);
    NTNetwork::GetLocalGroups(u"fs", b);
    EXPECT_EQ(m_Network->Calls("LocalGroupEnum"), 1U);
    EXPECT_EQ(Names(b), (std::vector<std::u16string>{u"CORP\\Admins", u"CORP\\Domain Users"}));

    NTNetwork::GetMembersForGlobalGroup(u"corp", u"Admins", c);
    NTNetwork::GetMembersForGlobalGroup(u"corp", u"ADMINS", c);
    EXPECT_EQ(m_Network->Calls("GroupGetUsers"), 1U);
    NTNetwork::GetMembersForGlobalGroup(u"CORP", u"admins", d);
    EXPECT_EQ(m_Network->Calls("GroupGetUsers"), 2U);
    EXPECT_EQ(Names(d), std::vector<std::u16string>{u"CORP\\user0"});

    NTNetwork::SIDs members, again;
    NTNetwork::GetMembersForLocalGroup(u"FS", u"Admins", members);
    NTNetwork::GetMembersForLocalGroup(u"fs", u"admins", again);
    EXPECT_EQ(m_Network->Calls("LocalGroupGetMembers"), 1U);
    EXPECT_EQ(Names(again), (std::vector<std::u16string>{u"CORP\\user0", u"CORP\\Domain Users"}));
}

TEST_F(NetworkQueries, GroupsOfUsersShareOneEntryAndOutliveClearCache) {
    NTNetwork::SIDs local, global, after;
    NTNetwork::GetLocalGroupsForUser(u"FS", u"", u"Keeper", local);
    NTNetwork::GetGlobalGroupsForUser(u"fs", u"keeper", global);
    EXPECT_EQ(m_Network->Calls("UserGetLocalGroups"), 1U);
    EXPECT_EQ(m_Network->Calls("UserGetGroups"), 0U);
    EXPECT_EQ(Names(global), std::vector<std::u16string>{u"CORP\\Admins"});

    NTNetwork::ClearCache();
    NTNetwork::GetGlobalGroupsForUser(u"FS", u"KEEPER", after);
    EXPECT_EQ(m_Network->Calls("UserGetGroups"), 0U);
    EXPECT_EQ(after[0].Get(), local[0].Get());

    // A user in a domain is another account than the bare user name.
    NTNetwork::SIDs qualified;
    NTNetwork::GetLocalGroupsForUser(u"fs", u"CORP", u"Keeper", qualified);
    EXPECT_EQ(m_Network->Calls("UserGetLocalGroups"), 2U);
    EXPECT_EQ(qualified[0].Get(), local[0].Get());
}

// An account listed by two queries, or listed again after ClearCache, is
// the same identity, and is not resolved over the network again.
TEST_F(NetworkQueries, OneAccountIsOneIdentityResolvedOnce) {
    NTNetwork::SIDs users, members;
    NTNetwork::GetGlobalUsers(u"corp", users);
    NTNetwork::GetMembersForGlobalGroup(u"corp", u"Admins", members);
    ASSERT_EQ(Names(members), std::vector<std::u16string>{u"CORP\\user0"});
    EXPECT_EQ(members[0].Get(), users[0].Get());

    const unsigned int lookups = m_Network->Calls("LookupAccountSid");
    NTNetwork::ClearCache();
    NTNetwork::SIDs again;
    NTNetwork::GetGlobalUsers(u"CORP", again);
    ASSERT_EQ(again.size(), 3U);
    EXPECT_EQ(again[2].Get(), users[2].Get());
    EXPECT_EQ(m_Network->Calls("LookupAccountSid"), lookups);
}

// A query waiting on a slow server holds no lock: the computer name, cache
// hits, queries that fill the caches and ClearCache all go ahead meanwhile.
TEST_F(NetworkQueries, AQueryWaitingOnTheNetworkHoldsUpNoOtherCaller) {
    NTNetwork::SIDs warm;
    NTNetwork::GetLocalGroups(u"fs", warm);
    m_Network->Hold("GetDcName");
    std::thread slow([] {
        NTNetwork::SIDs users;
        NTNetwork::GetGlobalUsers(u"corp", users);
        EXPECT_EQ(users.size(), 3U);
    });
    ASSERT_TRUE(m_Network->WaitUntilHeld(std::chrono::seconds(60)));
    auto others = std::async(std::launch::async, [] {
        NTNetwork::SIDs hit, filled;
        std::u16string domain;
        NTNetwork::GetLocalGroups(u"FS", hit);
        NTNetwork::GetMembersForLocalGroup(u"fs", u"admins", filled);
        NTNetwork::GetDomainForMachine(u"fs", domain);
        NTNetwork::ClearCache();
        return NTNetwork::GetLocalComputerName().empty() ? 0 : hit.size() + filled.size();
    });
    // Waiting here for the others is patience, not a measure: they finish
    // at once, or never while the slow call is held.
    const bool finished = others.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    m_Network->Release();
    slow.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(others.get(), 4U);
}

TEST_F(NetworkQueries, DomainsAndWorkgroupsAreReadOnceAndNeverOverlap) {
    std::vector<std::u16string> domains{u"kept"}, workgroups;
    NTNetwork::GetDomains(domains);
    NTNetwork::GetWorkGroups(workgroups);
    EXPECT_EQ(domains, (std::vector<std::u16string>{u"kept", u"corp", u"lab"}));
    EXPECT_EQ(workgroups, std::vector<std::u16string>{u"wg"});
    EXPECT_EQ(m_Network->Calls("ServerEnum"), 1U);

    // Controllers found while reading the list answer from the cache.
    std::u16string controller;
    NTNetwork::GetDomainController(u"LAB", controller, false);
    EXPECT_EQ(controller, u"\\\\labdc");
    EXPECT_EQ(m_Network->Calls("GetDcName"), 3U);
    // A primary controller is always asked for and replaces the cached one.
    NTNetwork::GetDomainController(u"corp", controller, true);
    EXPECT_EQ(controller, u"\\\\pdc");
    NTNetwork::GetDomainController(u"corp", controller, false);
    EXPECT_EQ(controller, u"\\\\pdc");
    EXPECT_EQ(m_Network->Calls("GetDcName(primary)"), 1U);
    // A workgroup has no controller: asked again, and it fails.
    EXPECT_THROW(NTNetwork::GetDomainController(u"wg", controller, false),
                 WindowsInvalidDomainException);
    EXPECT_EQ(m_Network->Calls("GetDcName"), 4U);
    EXPECT_EQ(NTNetwork::GetDomainType(u"WG"), NTNetwork::TYPE_DOMAIN);

    NTNetwork::ClearCache();
    m_Network->Fail("ServerEnum", 53);
    std::vector<std::u16string> none;
    EXPECT_THROW(NTNetwork::GetDomains(none), WindowsQueryDomainsException);
    EXPECT_TRUE(none.empty());
    m_Network->Fail("ServerEnum", 0);
    NTNetwork::GetWorkGroups(none);
    EXPECT_EQ(none, std::vector<std::u16string>{u"wg"});
}

TEST_F(NetworkQueries, NamesAreClassifiedOverTheNetworkOncePerCacheLifetime) {
    EXPECT_EQ(NTNetwork::GetDomainType(u""), NTNetwork::TYPE_SERVER);
    EXPECT_EQ(NTNetwork::GetDomainType(u"Corp"), NTNetwork::TYPE_DOMAIN);
    EXPECT_EQ(NTNetwork::GetDomainType(u"FS"), NTNetwork::TYPE_SERVER);
    EXPECT_EQ(NTNetwork::GetDomainType(u"ghost"), NTNetwork::TYPE_UNKNOWN);
    const unsigned int dc = m_Network->Calls("GetDcName");
    const unsigned int info = m_Network->Calls("ServerGetInfo");
    EXPECT_EQ(info, 2U);
    EXPECT_EQ(NTNetwork::GetDomainType(u"CORP"), NTNetwork::TYPE_DOMAIN);
    EXPECT_EQ(NTNetwork::GetDomainType(u"fs"), NTNetwork::TYPE_SERVER);
    EXPECT_EQ(NTNetwork::GetDomainType(u"Ghost"), NTNetwork::TYPE_UNKNOWN);
    EXPECT_EQ(m_Network->Calls("GetDcName"), dc);
    EXPECT_EQ(m_Network->Calls("ServerGetInfo"), info);

    // The classification of a domain left its controller cached.
    std::u16string controller;
    NTNetwork::GetDomainController(u"corp", controller, false);
    EXPECT_EQ(controller, u"\\\\dc1");
    EXPECT_EQ(m_Network->Calls("GetDcName"), dc);
    // Servers and unknown names are never listed as domains or workgroups.
    std::vector<std::u16string> workgroups;
    NTNetwork::GetWorkGroups(workgroups);
    EXPECT_EQ(workgroups, std::vector<std::u16string>{u"wg"});
}

TEST_F(NetworkQueries, ServersSharesAndMachineDomainsKeepTheirDocumentedCase) {
    std::vector<std::u16string> servers, shares, bare;
    NTNetwork::GetDomainServers(u"corp", servers);
    EXPECT_EQ(servers, (std::vector<std::u16string>{u"DC1", u"FileServer"}));
    NTNetwork::GetServerShares(u"\\\\FS", shares);
    EXPECT_EQ(shares, (std::vector<std::u16string>{u"\\\\FS\\Docs", u"\\\\FS\\IPC$"}));
    NTNetwork::GetServerShares(u"fs", bare);
    EXPECT_EQ(bare, (std::vector<std::u16string>{u"fs\\Docs", u"fs\\IPC$"}));

    std::u16string domain;
    NTNetwork::GetDomainForMachine(u"FS", domain);
    NTNetwork::GetDomainForMachine(u"fs", domain);
    EXPECT_EQ(domain, u"corp");
    EXPECT_EQ(m_Network->Calls("WkstaGetInfo"), 1U);
}
