#include "NetworkFixture.h"

#include <Zym/LastError.h>

#include <functional>
#include <map>

using namespace nettest;
using namespace ZymWindows;

namespace {

struct Operation {
    const char* name;
    const char* call; // the provider call it makes
    std::function<void(const std::u16string& unique)> run;
};

const Operation OPERATIONS[] = {
    {"local users", "QueryDisplayInformation",
     [](const std::u16string&) {
         NTNetwork::SIDs users;
         NTNetwork::GetLocalUsers(u"fs", users);
     }},
    {"global users", "QueryDisplayInformation",
     [](const std::u16string&) {
         NTNetwork::SIDs users;
         NTNetwork::GetGlobalUsers(u"corp", users);
     }},
    {"local groups", "LocalGroupEnum",
     [](const std::u16string&) {
         NTNetwork::SIDs groups;
         NTNetwork::GetLocalGroups(u"fs", groups);
     }},
    {"global groups", "QueryDisplayInformation",
     [](const std::u16string&) {
         NTNetwork::SIDs groups;
         NTNetwork::GetGlobalGroups(u"corp", groups);
     }},
    {"local groups of a user", "UserGetLocalGroups",
     [](const std::u16string& unique) {
         NTNetwork::SIDs groups;
         NTNetwork::GetLocalGroupsForUser(u"fs", u"", unique, groups);
     }},
    {"global groups of a user", "UserGetGroups",
     [](const std::u16string& unique) {
         NTNetwork::SIDs groups;
         NTNetwork::GetGlobalGroupsForUser(u"corp", unique, groups);
     }},
    {"members of a local group", "LocalGroupGetMembers",
     [](const std::u16string&) {
         NTNetwork::SIDs members;
         NTNetwork::GetMembersForLocalGroup(u"fs", u"admins", members);
     }},
    {"members of a global group", "GroupGetUsers",
     [](const std::u16string&) {
         NTNetwork::SIDs members;
         NTNetwork::GetMembersForGlobalGroup(u"corp", u"admins", members);
     }},
    {"servers", "ServerEnum",
     [](const std::u16string&) {
         std::vector<std::u16string> servers;
         NTNetwork::GetDomainServers(u"corp", servers);
     }},
    {"shares", "ShareEnum",
     [](const std::u16string&) {
         std::vector<std::u16string> shares;
         NTNetwork::GetServerShares(u"fs", shares);
     }},
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
