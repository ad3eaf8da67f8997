// The queries as the system answers them, with no provider of the tests'
// own: this computer's accounts through netapi32 and advapi32.

#include "TestFiles.h"
#include "Wine.h"

#include <Zym/NoCase.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/NTNetwork.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

using ZymWindows::NTNetwork;

namespace {

std::u16string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    EXPECT_TRUE(::GetComputerNameW(name, &length));
    return std::u16string(name, name + length);
}

// The name of the built-in administrators alias as the system gives it.
std::string AdministratorsAlias() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    EXPECT_TRUE(::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                           DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid));
    char name[257] = {}, domain[257] = {};
    DWORD nameLength = sizeof name, domainLength = sizeof domain;
    SID_NAME_USE use;
    EXPECT_TRUE(::LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use));
    ::FreeSid(sid);
    return name;
}

class SystemNetwork : public ::testing::Test {
protected:
    void SetUp() override { NTNetwork::ClearCache(); }
    void TearDown() override { NTNetwork::ClearCache(); }
};

} // namespace

TEST_F(SystemNetwork, ThisComputersUsersComeFromTheSystem) {
    const std::u16string computer = Zym::ToLower(ComputerName());
    EXPECT_EQ(NTNetwork::GetLocalComputerName(), computer);

    NTNetwork::SIDs users;
    NTNetwork::GetLocalUsers(u"", users);
    // The built-in administrator account, relative id 500, under whatever
    // name the system gives it.
    const auto administrator = std::find_if(users.begin(), users.end(), [](const auto& user) {
        return user->GetString() == u"S-1-22-1-500";
    });
    ASSERT_NE(administrator, users.end());
    EXPECT_FALSE((*administrator)->GetName().empty());
    EXPECT_EQ((*administrator)->GetDomain(), computer);

    // Named in another case, the computer shares the cached answer.
    NTNetwork::SIDs again;
    NTNetwork::GetLocalUsers(ComputerName(), again);
    ASSERT_EQ(again.size(), users.size());
    EXPECT_EQ(again[0].Get(), users[0].Get());
}

TEST_F(SystemNetwork, NamesTheSystemDoesNotKnowRaiseTheirExceptions) {
    std::u16string controller = u"left over";
    EXPECT_THROW(NTNetwork::GetDomainController(u"no-such-domain.invalid", controller, false),
                 ZymWindows::WindowsInvalidDomainException);
    EXPECT_EQ(controller, u"");
    EXPECT_EQ(NTNetwork::GetDomainType(u"no-such-host.invalid"), NTNetwork::TYPE_UNKNOWN);
    EXPECT_EQ(NTNetwork::GetDomainType(u""), NTNetwork::TYPE_SERVER);

    ZYMTEST_SKIP_UNDER_WINE("NetLocalGroupGetMembers is a stub that lists no members of any "
                            "group, known or not");
    NTNetwork::SIDs members;
    EXPECT_THROW(NTNetwork::GetMembersForLocalGroup(ComputerName(), u"no such group", members),
                 ZymWindows::WindowsInvalidUserGroupException);
}

// The name is kept for the life of a process, so a process of its own asks.
TEST(SystemNetworkProcess, AdministratorsGroupIsTheSystemsAlias) {
    const zymtest::ProcessResult admin = zymtest::RunProcess({ZYMWIN_PATH, "net", "admin-group"});
    ASSERT_EQ(admin.status, 0) << admin.err;
    EXPECT_EQ(zymtest::SplitLines(admin.out), std::vector<std::string>{AdministratorsAlias()});
}
