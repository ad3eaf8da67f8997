// The remote provider against real Samba servers. fixture.sh brings them up
// once per ctest run and run-client.sh runs this program on the client side
// of the fixture's network; the addresses and accounts below are the ones
// fixture.sh creates.

#include "network/posix/Providers.h"

#include <ZymCharset/Utf.h>

#include "TestFiles.h"

#include <gtest/gtest.h>

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
const std::u16string NEVER_ANSWERS = u"\\\\10.213.0.5";

using zymtest::ScopedEnvironment;

std::set<std::string> Names(const std::vector<Account>& accounts) {
    std::set<std::string> names;
    for (const Account& account : accounts)
        names.insert(ZymCharset::ToUtf8(account.name));
    return names;
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
};

// A provider whose helper runs through a shell script of its own that ends
// with `run`, the helper's path in its first argument.
std::unique_ptr<Provider> ProviderThrough(const zymtest::ScratchDirectory& scratch,
                                          const std::string& run) {
    const std::filesystem::path wrapper = scratch.Path() / "helper";
    zymtest::WriteFile(wrapper, "#!/bin/sh\n" + run + "\n");
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    const ScopedEnvironment helper("ZYM_NET_HELPER", wrapper.string());
    return MakeRemoteProvider();
}

} // namespace

// The codes that tell an unknown name's kind, where zymwin net cannot show
// them.
TEST_F(RemoteProvider, UnknownNamesGetTheCodeOfTheirKind) {
    std::vector<Account> groups;
    EXPECT_EQ(2221UL, m_Provider->UserGetGroups(DC, u"nosuchuser", groups));
    ResolvedAccount resolved;
    EXPECT_EQ(1332UL, m_Provider->LookupAccountName(DC, u"nosuchuser", resolved));
    EXPECT_EQ(1332UL, m_Provider->LookupAccountName(DC, u"OTHERDOMAIN\\zymuser01", resolved));
    std::u16string controller = u"unchanged";
    EXPECT_EQ(1355UL, m_Provider->GetDcName(u"NOSUCH.LAN", false, controller));
    EXPECT_EQ(u"unchanged", controller);
    std::vector<std::u16string> servers;
    EXPECT_EQ(6118UL, m_Provider->ServerEnum(u"NOSUCH.LAN", SV_TYPE_ALL, servers));
    EXPECT_EQ(2351UL, m_Provider->ServerGetInfo(u"\\\\nosuch-host.zymtest.lan"));
}

// The server's aliases, the built-in ones with their fixed SIDs, and SIDs
// named back: an account by its relative id, the domain, a built-in alias.
TEST_F(RemoteProvider, AliasesAndSidsOfTheServer) {
    std::vector<Account> aliases;
    ASSERT_EQ(0UL, m_Provider->LocalGroupEnum(DC, aliases));
    EXPECT_TRUE(Names(aliases).count("Administrators") && Names(aliases).count("Zym Readers"));
    for (const Account& alias : aliases)
        if (alias.name == u"Administrators") {
            EXPECT_EQ(u"S-1-5-32-544", alias.sid.ToString());
        }

    ResolvedAccount user, domain, back;
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"zymuser01", user));
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"ZYMTEST", domain));
    for (const ResolvedAccount* account : {&user, &domain}) {
        ASSERT_EQ(0UL, m_Provider->LookupAccountSid(DC, account->sid, back));
        EXPECT_EQ(account->name, back.name);
        EXPECT_EQ(account->domain, back.domain);
        EXPECT_EQ(account->type, back.type);
    }
    ASSERT_EQ(0UL, m_Provider->LookupAccountSid(DC, ZymSecurity::BinarySID(5, {32, 544}), back));
    EXPECT_EQ(u"BUILTIN\\Administrators", back.domain + u"\\" + back.name);
    ASSERT_EQ(0UL, m_Provider->LookupAccountName(DC, u"BUILTIN\\Administrators", back));
    EXPECT_EQ(u"S-1-5-32-544", back.sid.ToString());
    // Another domain's SID, and a relative id the domain does not have.
    EXPECT_EQ(1332UL, m_Provider->LookupAccountSid(
                          DC, ZymSecurity::BinarySID(5, {21, 1, 2, 3, 500}), back));
    std::vector<std::uint32_t> unknownRid;
    for (unsigned i = 0; i < 4; ++i)
        unknownRid.push_back(domain.sid.SubAuthority(i));
    unknownRid.push_back(999999);
    EXPECT_EQ(1332UL,
              m_Provider->LookupAccountSid(DC, ZymSecurity::BinarySID(5, unknownRid), back));
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

// Calls on a healthy controller answer whatever other calls do: one stuck
// on a listener that never answers holds up none of them, and ends in
// failure.
TEST_F(RemoteProvider, AStuckCallHoldsUpNoOtherCall) {
    // Each helper announces itself on a FIFO as it starts, so that the stuck
    // call is known to be under way before the others begin.
    zymtest::ScratchDirectory scratch;
    const std::filesystem::path fifo = scratch.Path() / "started";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    // Open for reading and writing, so that no announcement ever blocks.
    const int announcements = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(announcements, 0);
    const std::unique_ptr<Provider> provider =
        ProviderThrough(scratch, "echo >>" + fifo.string() + "\nexec " + ZYM_NET_HELPER_PATH);

    unsigned long stuck = 0;
    std::optional<ScopedEnvironment> longLimit(std::in_place, "ZYM_NET_TIMEOUT_MS", "14000");
    std::thread first([&] {
        std::u16string domain;
        stuck = provider->WkstaGetInfo(NEVER_ANSWERS, domain);
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
    EXPECT_EQ(results, std::vector<unsigned long>(3 * THREADS, 0));
    EXPECT_EQ(1722UL, stuck);
    // The provider works on after a call it had to abandon (while the FIFO
    // is open: a helper it starts announces itself too).
    EXPECT_EQ(0UL, provider->ServerGetInfo(DC));
    close(announcements);
}
