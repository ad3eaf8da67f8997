// The queries as the system answers them, with no provider of the tests'
// own: this computer's accounts through netapi32 and advapi32. The name of
// the administrators group stays for the life of the process, so the
// scripted suite checks it and this one does not ask.

#include <Zym/NoCase.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/NTNetwork.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

using ZymWindows::NTNetwork;

namespace {

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

std::u16string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    EXPECT_TRUE(::GetComputerNameW(name, &length));
    return std::u16string(name, name + length);
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

    if (UnderWine())
        GTEST_SKIP() << "Wine 8's NetLocalGroupGetMembers is a stub that lists no members of any "
                        "group, known or not";
    NTNetwork::SIDs members;
    EXPECT_THROW(NTNetwork::GetMembersForLocalGroup(ComputerName(), u"no such group", members),
                 ZymWindows::WindowsInvalidUserGroupException);
}
