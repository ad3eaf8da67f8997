// The remote provider against real Samba servers. fixture.sh brings them up
// once per ctest run and run-client.sh runs this program on the client side
// of the fixture's network; the addresses and accounts below are the ones
// fixture.sh creates.

#include "network/posix/Providers.h"

#include <ZymCharset/Utf.h>

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ZymWindows::Network;

namespace {

const std::u16string DC = u"\\\\10.213.0.1";
const std::u16string FILE_SERVER = u"\\\\10.213.0.4";
const std::u16string SILENT = u"\\\\10.213.0.3";
const std::u16string NEVER_ANSWERS = u"\\\\10.213.0.5";
const std::u16string CLOSED = u"\\\\10.213.0.6";
constexpr unsigned long USERS_IN_DOMAIN = 43; // 40 made, Administrator, Guest, krbtgt

using zymtest::ScopedEnvironment;

std::string Narrow(const std::u16string& text) {
    return ZymCharset::ToUtf8(text);
}

std::set<std::string> Names(const std::vector<Account>& accounts) {
    std::set<std::string> names;
    for (const Account& account : accounts)
        names.insert(Narrow(account.name));
    return names;
}

std::set<std::string> Names(const std::vector<std::u16string>& list) {
    std::set<std::string> names;
    for (const std::u16string& name : list)
        names.insert(Narrow(name));
    return names;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Logged on to the domain as its administrator. The servers are healthy but
// may be slow on a busy machine (their RPC services start on demand): calls
// to them have a time limit that only a failure reaches.
class RemoteProvider : public ::testing::Test {
protected:
    ScopedEnvironment m_User{"ZYM_NET_USER", "ZYMTEST\\Administrator"};
    ScopedEnvironment m_Password{"ZYM_NET_PASSWORD", "Zym-Admin-2024!"};
    ScopedEnvironment m_Limit{"ZYM_NET_TIMEOUT_MS", "30000"};
    std::unique_ptr<Provider> m_Provider = MakeRemoteProvider();

    // Every entry of a display listing, page by page from index 0.
    std::vector<DisplayEntry> Everything(DisplayLevel level, unsigned long count, int& pages) {
        std::vector<DisplayEntry> all;
        unsigned long index = 0;
        pages = 0;
        for (;;) {
            std::vector<DisplayEntry> page;
            const unsigned long result =
                m_Provider->QueryDisplayInformation(DC, level, index, count, page);
            EXPECT_TRUE(result == 0 || result == 234) << result;
            ++pages;
            if (result == 234) {
                EXPECT_EQ(count, page.size());
            }
            all.insert(all.end(), page.begin(), page.end());
            if (result != 234 || page.empty() || pages > 100)
                return all;
            index = page.back().nextIndex;
        }
    }
};

} // namespace

TEST_F(RemoteProvider, UsersComePageByPageThroughTheNextIndexChain) {
    int pages = 0;
    const std::vector<DisplayEntry> users = Everything(DISPLAY_USERS, 32, pages);
    EXPECT_EQ(2, pages);
    ASSERT_EQ(USERS_IN_DOMAIN, users.size());
    std::set<std::string> names;
    std::set<unsigned long> rids;
    for (std::size_t i = 0; i < users.size(); ++i) {
        names.insert(Narrow(users[i].name));
        rids.insert(users[i].rid);
        // Each entry's next index points just past it, across pages too.
        EXPECT_EQ(i + 1, users[i].nextIndex) << Narrow(users[i].name);
    }
    EXPECT_EQ(USERS_IN_DOMAIN, names.size());
    EXPECT_EQ(USERS_IN_DOMAIN, rids.size());
    EXPECT_TRUE(names.count("Administrator") && names.count("zymuser01") &&
                names.count("zymuser40"));
    EXPECT_TRUE(rids.count(500)); // the administrator's well-known relative id
    std::vector<DisplayEntry> pastTheEnd{{u"stale", 1, 1}};
    EXPECT_EQ(0UL, m_Provider->QueryDisplayInformation(DC, DISPLAY_USERS, 1000, 32, pastTheEnd));
    EXPECT_TRUE(pastTheEnd.empty());
}

TEST_F(RemoteProvider, GroupMembershipBothWays) {
    std::vector<Account> groups;
    ASSERT_EQ(0UL, m_Provider->UserGetGroups(DC, u"zymuser01", groups));
    EXPECT_EQ((std::set<std::string>{"Domain Users", "Zym Staff", "Zym Admins"}), Names(groups));
    ASSERT_EQ(0UL, m_Provider->UserGetGroups(DC, u"ZYMTEST\\zymuser40", groups));
    EXPECT_EQ((std::set<std::string>{"Domain Users"}), Names(groups));

    std::vector<Account> users;
    ASSERT_EQ(0UL, m_Provider->GroupGetUsers(DC, u"Zym Staff", users));
    EXPECT_EQ(
        (std::set<std::string>{"zymuser01", "zymuser02", "zymuser03", "zymuser04", "zymuser05"}),
        Names(users));
    ASSERT_EQ(0UL, m_Provider->GroupGetUsers(DC, u"Zym Admins", users));
    EXPECT_EQ((std::set<std::string>{"zymuser01"}), Names(users));
}

TEST_F(RemoteProvider, LocalGroupsOfTheServer) {
    std::vector<Account> aliases;
    ASSERT_EQ(0UL, m_Provider->LocalGroupEnum(DC, aliases));
    const std::set<std::string> names = Names(aliases);
    EXPECT_TRUE(names.count("Administrators") && names.count("Users") &&
                names.count("Zym Readers"));
    for (const Account& alias : aliases)
        if (alias.name == u"Administrators") {
            EXPECT_EQ(u"S-1-5-32-544", alias.sid.ToString());
        }
}

TEST_F(RemoteProvider, UnknownAccountsGetTheCodeOfTheirKind) {
    std::vector<Account> accounts;
    std::vector<ZymSecurity::BinarySID> members;
    EXPECT_EQ(2221UL, m_Provider->UserGetGroups(DC, u"nosuchuser", accounts));
    EXPECT_EQ(2221UL, m_Provider->UserGetLocalGroups(DC, u"nosuchuser", accounts));
    EXPECT_EQ(2220UL, m_Provider->GroupGetUsers(DC, u"nosuchgroup", accounts));
    EXPECT_EQ(1376UL, m_Provider->LocalGroupGetMembers(DC, u"nosuchalias", members));
    ResolvedAccount resolved;
    EXPECT_EQ(1332UL, m_Provider->LookupAccountName(DC, u"nosuchuser", resolved));
    EXPECT_EQ(1332UL, m_Provider->LookupAccountName(DC, u"OTHERDOMAIN\\zymuser01", resolved));
}

TEST_F(RemoteProvider, NamesAndSidsResolveBothWays) {
    ResolvedAccount user;
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"zymuser01", user));
    EXPECT_EQ(ZymSecurity::SidTypeUser, user.type);
    EXPECT_EQ(u"zymuser01", user.name);
    EXPECT_EQ(u"ZYMTEST", user.domain);
    ASSERT_EQ(5U, user.sid.SubAuthorityCount());
    EXPECT_EQ(21U, user.sid.SubAuthority(0));

    ResolvedAccount group, domain, alias, qualified;
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"zym staff", group));
    EXPECT_EQ(ZymSecurity::SidTypeGroup, group.type);
    EXPECT_EQ(u"Zym Staff", group.name);
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"ZYMTEST", domain));
    EXPECT_EQ(3U, static_cast<unsigned>(domain.type));
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"BUILTIN\\Administrators", alias));
    EXPECT_EQ(u"S-1-5-32-544", alias.sid.ToString());
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"ZYMTEST\\zymuser01", qualified));
    EXPECT_EQ(user.sid, qualified.sid);

    // The user's and the group's SIDs are the domain's plus a relative id,
    // the one the display listing gives.
    for (const ResolvedAccount* account : {&user, &group}) {
        for (unsigned i = 0; i < 4; ++i)
            EXPECT_EQ(domain.sid.SubAuthority(i), account->sid.SubAuthority(i));
    }
    unsigned long rid = 0;
    int pages = 0;
    for (const DisplayEntry& entry : Everything(DISPLAY_USERS, 50, pages))
        if (entry.name == u"zymuser01")
            rid = entry.rid;
    EXPECT_EQ(rid, user.sid.SubAuthority(4));

    for (const ResolvedAccount* account : {&user, &group, &domain, &alias}) {
        ResolvedAccount back;
        ASSERT_EQ(0UL, m_Provider->LookupAccountSid(DC, account->sid, back))
            << Narrow(account->name);
        EXPECT_EQ(account->name, back.name);
        EXPECT_EQ(account->domain, back.domain);
        EXPECT_EQ(account->type, back.type);
    }
    std::vector<std::uint32_t> unknownRid{21, domain.sid.SubAuthority(1),
                                          domain.sid.SubAuthority(2), domain.sid.SubAuthority(3),
                                          999999};
    ResolvedAccount none;
    EXPECT_EQ(1332UL,
              m_Provider->LookupAccountSid(DC, ZymSecurity::BinarySID(5, unknownRid), none));
    EXPECT_EQ(1332UL, m_Provider->LookupAccountSid(
                          DC, ZymSecurity::BinarySID(5, {21, 1, 2, 3, 500}), none));
}

TEST_F(RemoteProvider, DomainControllerByEitherNameAndPrimary) {
    for (const char16_t* domain : {u"ZYMTEST", u"", u"ZYMTEST.LAN"}) {
        for (const bool primary : {false, true}) {
            std::u16string controller;
            ASSERT_EQ(0UL, m_Provider->GetDcName(domain, primary, controller)) << Narrow(domain);
            EXPECT_EQ("\\\\dc1.zymtest.lan", Lower(Narrow(controller)));
        }
    }
    std::u16string controller = u"unchanged";
    EXPECT_EQ(1355UL, m_Provider->GetDcName(u"NOSUCH.LAN", false, controller));
    EXPECT_EQ(u"unchanged", controller);

    // The name DsGetDcName gives is good for the next call.
    std::u16string domain;
    ASSERT_EQ(0UL, m_Provider->GetDcName(u"ZYMTEST", false, controller));
    EXPECT_EQ(0UL, m_Provider->WkstaGetInfo(controller, domain));
    EXPECT_EQ(u"ZYMTEST", domain);
}

TEST_F(RemoteProvider, ServersAndDomainsOfTheNetwork) {
    std::vector<std::u16string> names;
    ASSERT_EQ(0UL, m_Provider->ServerEnum(u"", SV_TYPE_ALL, names));
    EXPECT_EQ((std::set<std::string>{"DC1", "WS1"}), Names(names));
    ASSERT_EQ(0UL, m_Provider->ServerEnum(u"ZYMTEST.LAN", 0x1 /* workstations */, names));
    EXPECT_EQ((std::set<std::string>{"DC1", "WS1"}), Names(names));
    ASSERT_EQ(0UL, m_Provider->ServerEnum(u"ZYMTEST", 0x8 /* domain controllers */, names));
    EXPECT_EQ((std::set<std::string>{"DC1"}), Names(names));
    ASSERT_EQ(0UL, m_Provider->ServerEnum(u"ZYMTEST", 0x200 /* print servers */, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(6118UL, m_Provider->ServerEnum(u"NOSUCH.LAN", SV_TYPE_ALL, names));
    ASSERT_EQ(0UL, m_Provider->ServerEnum(u"", SV_TYPE_DOMAIN_ENUM, names));
    EXPECT_EQ((std::set<std::string>{"ZYMTEST"}), Names(names));
}

TEST_F(RemoteProvider, MachinesTellTheirDomainAndShares) {
    std::u16string domain;
    ASSERT_EQ(0UL, m_Provider->WkstaGetInfo(DC, domain));
    EXPECT_EQ(u"ZYMTEST", domain);
    ASSERT_EQ(0UL, m_Provider->WkstaGetInfo(u"10.213.0.4", domain));
    EXPECT_EQ(u"ZYMFILES", domain);
    EXPECT_EQ(0UL, m_Provider->ServerGetInfo(FILE_SERVER));
    EXPECT_EQ(0UL, m_Provider->ServerGetInfo(DC));

    std::vector<std::u16string> shares;
    ASSERT_EQ(0UL, m_Provider->ShareEnum(FILE_SERVER, shares));
    EXPECT_EQ((std::set<std::string>{"alpha", "beta", "IPC$"}), Names(shares));
    ASSERT_EQ(0UL, m_Provider->ShareEnum(DC, shares));
    EXPECT_EQ((std::set<std::string>{"sysvol", "netlogon", "IPC$"}), Names(shares));
}

TEST_F(RemoteProvider, CredentialsComeFromTheEnvironmentOnEachCall) {
    std::vector<std::u16string> shares;
    {
        // The file server lets guests list its shares.
        ScopedEnvironment anonymous("ZYM_NET_USER");
        ASSERT_EQ(0UL, m_Provider->ShareEnum(FILE_SERVER, shares));
        EXPECT_EQ(3U, shares.size());
    }
    {
        ScopedEnvironment wrong("ZYM_NET_PASSWORD", "not-the-password");
        EXPECT_EQ(1326UL, m_Provider->ServerGetInfo(DC));
    }
    {
        // The fixture's users have no password and are disabled.
        ScopedEnvironment disabled("ZYM_NET_USER", "ZYMTEST\\zymuser01");
        ScopedEnvironment empty("ZYM_NET_PASSWORD", "");
        EXPECT_EQ(1326UL, m_Provider->ServerGetInfo(DC));
    }
    // The right password again, on the same server.
    EXPECT_EQ(0UL, m_Provider->ServerGetInfo(DC));
}

TEST_F(RemoteProvider, AKerberosCacheLogsOnWithoutAPassword) {
    zymtest::ScratchDirectory scratch;
    const std::string cache = "FILE:" + (scratch.Path() / "ccache").string();
    ScopedEnvironment cacheName("KRB5CCNAME", cache.c_str());
    const zymtest::ProcessResult kinit =
        zymtest::RunProcess({"kinit", "Administrator@ZYMTEST.LAN"}, "Zym-Admin-2024!\n");
    ASSERT_EQ(0, kinit.status) << kinit.out << kinit.err;

    ScopedEnvironment noUser("ZYM_NET_USER");
    ScopedEnvironment noPassword("ZYM_NET_PASSWORD");
    // Kerberos needs the controller's DNS name.
    std::vector<Account> groups;
    ASSERT_EQ(0UL, m_Provider->UserGetGroups(u"\\\\dc1.zymtest.lan", u"zymuser01", groups));
    EXPECT_EQ((std::set<std::string>{"Domain Users", "Zym Staff", "Zym Admins"}), Names(groups));
}

TEST_F(RemoteProvider, UnreachableMachinesFailWithinTheLimit) {
    std::u16string domain;
    std::vector<std::u16string> shares;
    {
        ScopedEnvironment limit("ZYM_NET_TIMEOUT_MS", "1500");
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(1722UL, m_Provider->ServerGetInfo(CLOSED));
        EXPECT_EQ(1722UL, m_Provider->ShareEnum(SILENT, shares));
        EXPECT_EQ(1722UL, m_Provider->WkstaGetInfo(NEVER_ANSWERS, domain));
        EXPECT_EQ(2351UL, m_Provider->ServerGetInfo(u"\\\\nosuch-host.zymtest.lan"));
        // Ended at their limit, not after the Samba library's 20 s.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(19));
    }
    // The provider works on after a call it had to abandon.
    EXPECT_EQ(0UL, m_Provider->WkstaGetInfo(DC, domain));
    EXPECT_EQ(u"ZYMTEST", domain);
}

// Calls on a healthy controller answer whatever other calls do: one stuck
// on a listener that never answers holds up none of them, and ends at its
// own limit.
TEST_F(RemoteProvider, AStuckCallHoldsUpNoOtherCall) {
    // Each helper announces itself on a FIFO as it starts, so that the stuck
    // call is known to be under way before the others begin.
    zymtest::ScratchDirectory scratch;
    const std::filesystem::path fifo = scratch.Path() / "started";
    const std::filesystem::path wrapper = scratch.Path() / "helper";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    zymtest::WriteFile(wrapper, "#!/bin/sh\necho >>" + fifo.string() + "\nexec " +
                                    ZYM_NET_HELPER_PATH + "\n");
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    // Open for reading and writing, so that no announcement ever blocks.
    const int announcements = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(announcements, 0);
    ScopedEnvironment helper("ZYM_NET_HELPER", wrapper.string());
    const std::unique_ptr<Provider> provider = MakeRemoteProvider();

    unsigned long stuck = 0;
    std::chrono::steady_clock::duration stuckFor{};
    std::optional<ScopedEnvironment> longLimit(std::in_place, "ZYM_NET_TIMEOUT_MS", "14000");
    std::thread first([&] {
        const auto started = std::chrono::steady_clock::now();
        std::u16string domain;
        stuck = provider->WkstaGetInfo(NEVER_ANSWERS, domain);
        stuckFor = std::chrono::steady_clock::now() - started;
    });
    char started = 0;
    ASSERT_EQ(1, read(announcements, &started, 1));
    longLimit.reset();

    // Shorter than what is left of the stuck call's limit: a call that
    // waited for it would fail.
    ScopedEnvironment limit("ZYM_NET_TIMEOUT_MS", "10000");
    constexpr int THREADS = 3;
    std::vector<unsigned long> results(3 * THREADS, 1);
    std::vector<std::thread> healthy;
    for (int t = 0; t < THREADS; ++t)
        healthy.emplace_back([&, t] {
            std::u16string controller;
            std::vector<Account> users;
            results[3 * t] = provider->ServerGetInfo(DC);
            results[3 * t + 1] = provider->GetDcName(u"ZYMTEST", false, controller);
            results[3 * t + 2] = provider->GroupGetUsers(DC, u"Zym Admins", users);
        });
    for (std::thread& thread : healthy)
        thread.join();
    first.join();
    close(announcements);
    EXPECT_EQ(results, std::vector<unsigned long>(3 * THREADS, 0));
    EXPECT_EQ(1722UL, stuck);
    EXPECT_LT(stuckFor, std::chrono::seconds(19));
}

TEST_F(RemoteProvider, AMissingConfigurationIsAFailureNotACrash) {
    // The helper in a mount namespace of its own where /etc/samba is empty.
    zymtest::ScratchDirectory scratch;
    const std::filesystem::path empty = scratch.Path() / "etc";
    const std::filesystem::path wrapper = scratch.Path() / "helper";
    std::filesystem::create_directory(empty);
    zymtest::WriteFile(wrapper, "#!/bin/sh\nexec unshare -m sh -c 'mount --bind " + empty.string() +
                                    " /etc/samba && exec " + ZYM_NET_HELPER_PATH + "'\n");
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    ScopedEnvironment helper("ZYM_NET_HELPER", wrapper.string());
    const std::unique_ptr<Provider> provider = MakeRemoteProvider();
    std::u16string controller;
    EXPECT_EQ(1722UL, provider->ServerGetInfo(DC));
    EXPECT_EQ(1355UL, provider->GetDcName(u"ZYMTEST", false, controller));
}
