#include "NetworkFixture.h"

#include <future>
#include <thread>

using namespace nettest;
using namespace ZymWindows;
using Strings = std::vector<std::u16string>;

TEST_F(NetworkQueries, PagedUsersFollowTheServersIndexChainAndAreCachedOncePerServer) {
    UseNetworkOf(70);
    const NTNetwork::SIDs users = Listed(NTNetwork::GetGlobalUsers, u"CORP");
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
    EXPECT_EQ(Listed(NTNetwork::GetLocalUsers, u"DC1").size(), 70U);
    EXPECT_EQ(m_Network->Calls("QueryDisplayInformation"), 3U);

    NTNetwork::ClearCache();
    EXPECT_EQ(Listed(NTNetwork::GetGlobalUsers, u"corp").size(), 70U);
    EXPECT_EQ(m_Network->Calls("QueryDisplayInformation"), 6U);
}

TEST_F(NetworkQueries, AFailedPageCachesNothingAndKeepsWhatCameBefore) {
    UseNetworkOf(40);
    m_Network->Fail("QueryDisplayInformation", 1722, 1);
    NTNetwork::SIDs users;
    EXPECT_THROW(NTNetwork::GetLocalUsers(u"fs", users), WindowsQueryUsersException);
    EXPECT_EQ(users.size(), 32U);

    m_Network->Fail("QueryDisplayInformation", 0);
    EXPECT_EQ(Listed(NTNetwork::GetLocalUsers, u"fs").size(), 40U);
}

TEST_F(NetworkQueries, KeysIgnoreCaseExceptTheDomainOfGlobalMembers) {
    Listed(NTNetwork::GetLocalGroups, u"FS");
    EXPECT_EQ(Names(Listed(NTNetwork::GetLocalGroups, u"fs")),
              (std::vector<std::u16string>{u"CORP\\Admins", u"CORP\\Domain Users"}));
    EXPECT_EQ(m_Network->Calls("LocalGroupEnum"), 1U);

    Listed(NTNetwork::GetMembersForGlobalGroup, u"corp", u"Admins");
    Listed(NTNetwork::GetMembersForGlobalGroup, u"corp", u"ADMINS");
    EXPECT_EQ(m_Network->Calls("GroupGetUsers"), 1U);
    EXPECT_EQ(Names(Listed(NTNetwork::GetMembersForGlobalGroup, u"CORP", u"admins")),
              std::vector<std::u16string>{u"CORP\\user0"});
    EXPECT_EQ(m_Network->Calls("GroupGetUsers"), 2U);

    Listed(NTNetwork::GetMembersForLocalGroup, u"FS", u"Admins");
    EXPECT_EQ(Names(Listed(NTNetwork::GetMembersForLocalGroup, u"fs", u"admins")),
              (std::vector<std::u16string>{u"CORP\\user0", u"CORP\\Domain Users"}));
    EXPECT_EQ(m_Network->Calls("LocalGroupGetMembers"), 1U);
}

TEST_F(NetworkQueries, GroupsOfUsersShareOneEntryAndOutliveClearCache) {
    const NTNetwork::SIDs local = Listed(NTNetwork::GetLocalGroupsForUser, u"FS", u"", u"Keeper");
    EXPECT_EQ(Names(Listed(NTNetwork::GetGlobalGroupsForUser, u"fs", u"keeper")),
              std::vector<std::u16string>{u"CORP\\Admins"});
    EXPECT_EQ(m_Network->Calls("UserGetLocalGroups"), 1U);
    EXPECT_EQ(m_Network->Calls("UserGetGroups"), 0U);

    NTNetwork::ClearCache();
    EXPECT_EQ(Listed(NTNetwork::GetGlobalGroupsForUser, u"FS", u"KEEPER")[0].Get(), local[0].Get());
    EXPECT_EQ(m_Network->Calls("UserGetGroups"), 0U);

    // A user in a domain is another account than the bare user name.
    EXPECT_EQ(Listed(NTNetwork::GetLocalGroupsForUser, u"fs", u"CORP", u"Keeper")[0].Get(),
              local[0].Get());
    EXPECT_EQ(m_Network->Calls("UserGetLocalGroups"), 2U);
}

// An account listed by two queries, or listed again after ClearCache, is
// the same identity, and is not resolved over the network again.
TEST_F(NetworkQueries, OneAccountIsOneIdentityResolvedOnce) {
    const NTNetwork::SIDs users = Listed(NTNetwork::GetGlobalUsers, u"corp");
    const NTNetwork::SIDs members = Listed(NTNetwork::GetMembersForGlobalGroup, u"corp", u"Admins");
    ASSERT_EQ(Names(members), std::vector<std::u16string>{u"CORP\\user0"});
    EXPECT_EQ(members[0].Get(), users[0].Get());

    const unsigned int lookups = m_Network->Calls("LookupAccountSid");
    NTNetwork::ClearCache();
    const NTNetwork::SIDs again = Listed(NTNetwork::GetGlobalUsers, u"CORP");
    ASSERT_EQ(again.size(), 3U);
    EXPECT_EQ(again[2].Get(), users[2].Get());
    EXPECT_EQ(m_Network->Calls("LookupAccountSid"), lookups);
}

// A query waiting on a slow server holds no lock: the computer name, cache
// hits, queries that fill the caches and ClearCache all go ahead meanwhile.
TEST_F(NetworkQueries, AQueryWaitingOnTheNetworkHoldsUpNoOtherCaller) {
    Listed(NTNetwork::GetLocalGroups, u"fs");
    m_Network->Hold("GetDcName");
    std::thread slow([] { EXPECT_EQ(Listed(NTNetwork::GetGlobalUsers, u"corp").size(), 3U); });
    ASSERT_TRUE(m_Network->WaitUntilHeld(std::chrono::seconds(60)));
    auto others = std::async(std::launch::async, [] {
        const std::size_t listed =
            Listed(NTNetwork::GetLocalGroups, u"FS").size() +
            Listed(NTNetwork::GetMembersForLocalGroup, u"fs", u"admins").size();
        Listed<std::u16string>(NTNetwork::GetDomainForMachine, u"fs");
        NTNetwork::ClearCache();
        return NTNetwork::GetLocalComputerName().empty() ? 0 : listed;
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
    std::vector<std::u16string> domains{u"kept"};
    NTNetwork::GetDomains(domains);
    EXPECT_EQ(domains, (std::vector<std::u16string>{u"kept", u"corp", u"lab"}));
    EXPECT_EQ(Listed<Strings>(NTNetwork::GetWorkGroups), Strings{u"wg"});
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
    EXPECT_EQ(Listed<Strings>(NTNetwork::GetWorkGroups), Strings{u"wg"});
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
    EXPECT_EQ(Listed<Strings>(NTNetwork::GetWorkGroups), Strings{u"wg"});
}

TEST_F(NetworkQueries, ServersSharesAndMachineDomainsKeepTheirDocumentedCase) {
    EXPECT_EQ(Listed<Strings>(NTNetwork::GetDomainServers, u"corp"),
              (Strings{u"DC1", u"FileServer"}));
    EXPECT_EQ(Listed<Strings>(NTNetwork::GetServerShares, u"\\\\FS"),
              (Strings{u"\\\\FS\\Docs", u"\\\\FS\\IPC$"}));
    EXPECT_EQ(Listed<Strings>(NTNetwork::GetServerShares, u"fs"),
              (Strings{u"fs\\Docs", u"fs\\IPC$"}));

    Listed<std::u16string>(NTNetwork::GetDomainForMachine, u"FS");
    EXPECT_EQ(Listed<std::u16string>(NTNetwork::GetDomainForMachine, u"fs"), u"corp");
    EXPECT_EQ(m_Network->Calls("WkstaGetInfo"), 1U);
}
