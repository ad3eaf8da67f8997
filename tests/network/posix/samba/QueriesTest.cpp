// The domain and account queries end to end: zymwin net, a real process on
// the client side of the fixture's network, asking the fixture's domain
// controller (domain ZYMTEST, realm ZYMTEST.LAN) and file server.

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using zymtest::ProcessResult;

// zymwin net as the domain's administrator. Each call has a time limit of
// `limit` milliseconds; the servers are healthy but may be slow on a busy
// machine, so by default only a failure reaches it.
ProcessResult Net(const std::vector<std::string>& arguments, const std::string& limit = "30000") {
    std::vector<std::string> argv = {"env",
                                     "ZYM_NET_USER=ZYMTEST\\Administrator",
                                     "ZYM_NET_PASSWORD=Zym-Admin-2024!",
                                     "ZYM_NET_TIMEOUT_MS=" + limit,
                                     ZYMWIN_PATH,
                                     "net"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return zymtest::RunProcess(argv);
}

// The error text of a zymwin net command that fails.
std::string Failure(const std::vector<std::string>& arguments, const std::string& limit = "30000") {
    const ProcessResult result = Net(arguments, limit);
    EXPECT_EQ(result.status, 1);
    return result.err;
}

bool Has(const std::vector<std::string>& lines, const std::string& suffix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.ends_with(suffix); });
}

} // namespace

TEST(NetQueries, TheDomainItsControllerAndTheKindsOfNames) {
    EXPECT_EQ(Net({"domains"}).out, "zymtest\n");
    EXPECT_EQ(Net({"dc", "ZYMTEST"}).out, "\\\\dc1.zymtest.lan\n");
    const ProcessResult types = Net({"type", "ZymTest"});
    EXPECT_EQ(types.out, "TYPE_DOMAIN\n") << types.err;
    EXPECT_EQ(Net({"type", "10.213.0.4"}).out, "TYPE_SERVER\n");
    EXPECT_EQ(Net({"type", "10.213.0.6"}).out, "TYPE_UNKNOWN\n");
    EXPECT_EQ(Net({"domain-of", "10.213.0.4"}).out, "zymfiles\n");
    const std::vector<std::string> servers = zymtest::SplitLines(Net({"servers", "zymtest"}).out);
    EXPECT_TRUE(Has(servers, "DC1")) << Net({"servers", "zymtest"}).err;
    EXPECT_TRUE(Has(servers, "WS1"));
    EXPECT_EQ(Net({"dc", "zymtest.lan", "--primary"}).out, "\\\\dc1.zymtest.lan\n");
    const ProcessResult shares = Net({"shares", "\\\\10.213.0.4"});
    const std::vector<std::string> shareLines = zymtest::SplitLines(shares.out);
    EXPECT_EQ(std::set<std::string>(shareLines.begin(), shareLines.end()),
              (std::set<std::string>{"\\\\10.213.0.4\\alpha", "\\\\10.213.0.4\\beta",
                                     "\\\\10.213.0.4\\IPC$"}))
        << shares.err;
}

TEST(NetQueries, DomainAccountsAreIdentitiesOfTheDomainAndCached) {
    const ProcessResult users = Net({"--repeat", "2", "global-users", "zymtest"});
    ASSERT_EQ(users.status, 0) << users.err;
    const std::vector<std::string> lines = zymtest::SplitLines(users.out);
    ASSERT_EQ(lines.size(), 2U * 43U);
    EXPECT_TRUE(std::equal(lines.begin(), lines.begin() + 43, lines.begin() + 43));
    EXPECT_TRUE(Has(lines, "\tZYMTEST\\Administrator"));
    EXPECT_TRUE(Has(lines, "\tZYMTEST\\zymuser39"));
    for (const std::string& line : lines)
        EXPECT_EQ(line.rfind("S-1-5-21-", 0), 0U) << line;
    // The controller answers for the domain whether asked as the domain or
    // as the machine.
    EXPECT_EQ(zymtest::SplitLines(Net({"users", "10.213.0.1"}).out).size(), 43U);
    // So it does by its DNS name.
    const ProcessResult byDnsName = Net({"global-users", "ZymTest.lan"});
    EXPECT_EQ(byDnsName.out, users.out.substr(0, users.out.size() / 2)) << byDnsName.err;

    const std::vector<std::string> admins =
        zymtest::SplitLines(Net({"global-members", "ZYMTEST", "Domain Admins"}).out);
    EXPECT_TRUE(Has(admins, "\tZYMTEST\\Administrator"));
    const ProcessResult staff = Net({"global-members", "zymtest.lan", "zym admins"});
    EXPECT_TRUE(Has(zymtest::SplitLines(staff.out), "\tZYMTEST\\zymuser01")) << staff.err;
    const std::vector<std::string> groups = zymtest::SplitLines(Net({"global-groups"}).out);
    EXPECT_TRUE(Has(groups, "\tZYMTEST\\Domain Users"));

    // An alias the controller does not have.
    EXPECT_EQ(Failure({"members", "10.213.0.1", "nosuchalias"}),
              "zymwin net: WindowsInvalidUserGroupException: The specified local group does not "
              "exist.\n");
    EXPECT_EQ(Failure({"global-members", "zymtest", "No Such Group"}),
              "zymwin net: WindowsInvalidUserGroupException: The group name could not be found.\n");
}

// An account named with its domain belongs to that domain, named either
// way; another domain's account is unknown to the controller.
TEST(NetQueries, AccountsOfADomainByEitherNameAndOfNoOther) {
    const ProcessResult flat = Net({"user-groups", "10.213.0.1", "zymtest", "zymuser40"});
    EXPECT_EQ(zymtest::SplitLines(flat.out),
              std::vector<std::string>{"S-1-5-32-545\tBUILTIN\\Users"})
        << flat.err;
    EXPECT_EQ(Net({"user-groups", "10.213.0.1", "ZymTest.Lan", "zymuser40"}).out, flat.out);
    EXPECT_EQ(Failure({"user-groups", "10.213.0.1", "otherdom", "zymuser40"}),
              "zymwin net: WindowsInvalidUserGroupException: The user name could not be found.\n");
}

// A refused port, a black hole and a listener that never answers each fail
// within the time limit with the exception of their query (ctest's own
// time limit catches a hang).
TEST(NetQueries, UnreachableMachinesFailWithTheirQuerysException) {
    for (const char* address : {"10.213.0.6", "10.213.0.3", "10.213.0.5"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(
            Failure({"shares", address}, "1500"),
            "zymwin net: WindowsInvalidDomainServerException: The RPC server is unavailable.\n");
        const std::string users = Failure({"users", address}, "1500");
        EXPECT_EQ(users.rfind("zymwin net: WindowsQueryUsersException: ", 0), 0U) << users;
    }
    const std::string domain = Failure({"dc", "nosuch.lan"}, "1500");
    EXPECT_EQ(domain.rfind("zymwin net: WindowsInvalidDomainException: ", 0), 0U) << domain;
}
