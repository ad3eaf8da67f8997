#include "NetworkFixture.h"

#include <Zym/LastError.h>

#include <functional>
#include <map>

using namespace nettest;
using namespace ZymWindows;

namespace {

using Strings = std::vector<std::u16string>;

struct Operation {
    const char* name;
    const char* call; // the provider call it makes
    // The for-user queries name a user of their own each time: their
    // answers stay cached across ClearCache.
    std::function<void(const std::u16string& user)> run;
};

const Operation OPERATIONS[] = {
    {"local users", "QueryDisplayInformation",
     [](auto&) { Listed(NTNetwork::GetLocalUsers, u"fs"); }},
    {"global users", "QueryDisplayInformation",
     [](auto&) { Listed(NTNetwork::GetGlobalUsers, u"corp"); }},
    {"local groups", "LocalGroupEnum", [](auto&) { Listed(NTNetwork::GetLocalGroups, u"fs"); }},
    {"global groups", "QueryDisplayInformation",
     [](auto&) { Listed(NTNetwork::GetGlobalGroups, u"corp"); }},
    {"local groups of a user", "UserGetLocalGroups",
     [](auto& user) { Listed(NTNetwork::GetLocalGroupsForUser, u"fs", u"", user); }},
    {"global groups of a user", "UserGetGroups",
     [](auto& user) { Listed(NTNetwork::GetGlobalGroupsForUser, u"corp", user); }},
    {"members of a local group", "LocalGroupGetMembers",
     [](auto&) { Listed(NTNetwork::GetMembersForLocalGroup, u"fs", u"admins"); }},
    {"members of a global group", "GroupGetUsers",
     [](auto&) { Listed(NTNetwork::GetMembersForGlobalGroup, u"corp", u"admins"); }},
    {"servers", "ServerEnum", [](auto&) { Listed<Strings>(NTNetwork::GetDomainServers, u"corp"); }},
    {"shares", "ShareEnum", [](auto&) { Listed<Strings>(NTNetwork::GetServerShares, u"fs"); }},
};

// The exception each letter stands for below.
const std::map<char, std::type_index> EXCEPTIONS = {
    {'D', typeid(WindowsAccessDeniedException)},
    {'S', typeid(WindowsInvalidDomainServerException)},
    {'A', typeid(WindowsInvalidUserGroupException)},
    {'U', typeid(WindowsQueryUsersException)},
    {'G', typeid(WindowsQueryGroupsException)},
    {'M', typeid(WindowsQueryMembersException)},
};

// One row per result code, one letter per operation above.
const std::pair<unsigned long, const char*> TABLE[] = {
    {5, "DDDDDDDDDD"},    {1376, "UUGUGGAMMM"}, {1722, "UUSUSSSSSS"}, {2220, "UUGUGGAAMM"},
    {2221, "UUGUAAMMMM"}, {2351, "UUSUSSSSSS"}, {1003, "UUGUGGMMMM"},
};

} // namespace

TEST_F(NetworkQueries, EveryResultCodeOfEveryQueryRaisesItsException) {
    int unique = 0;
    for (const auto& [result, letters] : TABLE)
        for (std::size_t column = 0; column < std::size(OPERATIONS); ++column) {
            const Operation& operation = OPERATIONS[column];
            SCOPED_TRACE(std::string(operation.name) + " with " + std::to_string(result));
            NTNetwork::ClearCache();
            m_Network->Fail(operation.call, result);
            const std::string name = "who" + std::to_string(unique++);
            EXPECT_EQ(Raised([&] { operation.run(std::u16string(name.begin(), name.end())); }),
                      EXCEPTIONS.at(letters[column]));
            EXPECT_EQ(Zym::GetLastError(), result);
            m_Network->Fail(operation.call, 0);
        }
}

// A single call that says more data follows has failed; the paged listings
// take it as a page.
TEST_F(NetworkQueries, MoreDataFailsSingleCallsOnly) {
    m_Network->Fail("LocalGroupEnum", 234);
    m_Network->Fail("ShareEnum", 234);
    NTNetwork::SIDs groups;
    EXPECT_THROW(NTNetwork::GetLocalGroups(u"fs", groups), WindowsQueryGroupsException);
    std::vector<std::u16string> shares{u"kept"};
    EXPECT_THROW(NTNetwork::GetServerShares(u"fs", shares), WindowsQueryMembersException);
    EXPECT_EQ(shares, std::vector<std::u16string>{u"kept"});
}

TEST_F(NetworkQueries, DomainFailuresRaiseTheirOwnExceptions) {
    std::u16string controller = u"stale";
    EXPECT_THROW(NTNetwork::GetDomainController(u"nowhere", controller, false),
                 WindowsInvalidDomainException);
    EXPECT_EQ(controller, u"");
    NTNetwork::SIDs users;
    EXPECT_THROW(NTNetwork::GetGlobalUsers(u"nowhere", users), WindowsInvalidDomainException);

    std::u16string domain = u"kept";
    m_Network->Fail("WkstaGetInfo", 5);
    EXPECT_THROW(NTNetwork::GetDomainForMachine(u"fs", domain), WindowsAccessDeniedException);
    m_Network->Fail("WkstaGetInfo", 53);
    EXPECT_THROW(NTNetwork::GetDomainForMachine(u"fs", domain), WindowsQueryDomainsException);
    EXPECT_EQ(domain, u"kept");

    m_Network->Fail("LookupAccountSid", 1722);
    EXPECT_THROW(NTNetwork::GetLocalAdministratorGroupName(), WindowsQueryAdminGroupException);
    m_Network->Fail("LookupAccountSid", 0);
    EXPECT_EQ(NTNetwork::GetLocalAdministratorGroupName(), u"Administratoren");
}
