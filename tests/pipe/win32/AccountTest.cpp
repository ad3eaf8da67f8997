// Accounts as Windows names them: the SIDs of the process's own token and
// the well-known accounts that belong to no domain of this computer.
#include "../PipeTestSupport.h"

#include <Zym/LastError.h>
#include <ZymSecurity/Exceptions.h>
#include <ZymSecurity/NetworkSecurity.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

using namespace ZymSecurity;

TEST(Accounts, TheProcessTokenNamesTheLoggedOnUserAndItsGroups) {
    const AccessTokenPtr token = NetworkSecurity::GetCurrentProcessHandle();
    const SecurityIDPtr user = NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(*token));
    wchar_t name[257];
    DWORD length = 257;
    ASSERT_TRUE(::GetUserNameW(name, &length));
    EXPECT_EQ(user->GetName(), std::u16string(reinterpret_cast<const char16_t*>(name)));
    EXPECT_EQ(user->GetType(), ZymSecurity::SidTypeUser);

    std::vector<SecurityIDPtr> groups;
    NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(*token), groups);
    const auto everyone = std::find_if(groups.begin(), groups.end(), [](const SecurityIDPtr& id) {
        return id->GetString() == u"S-1-1-0";
    });
    ASSERT_NE(everyone, groups.end());
    EXPECT_EQ((*everyone)->GetName(), u"Everyone");
    EXPECT_EQ((*everyone)->GetType(), ZymSecurity::SidTypeWellKnownGroup);
}

TEST(Accounts, WellKnownAccountsResolveBothWays) {
    const SecurityIDPtr everyone = SecurityIDCache::CreateSecurityID(u"S-1-1-0");
    EXPECT_EQ(everyone->GetName(), u"Everyone");
    const SecurityIDPtr system = SecurityIDCache::CreateSecurityID(u"S-1-5-18");
    EXPECT_EQ(system->GetName(), u"SYSTEM");
    EXPECT_EQ(system->GetDomain(), u"NT AUTHORITY");
    EXPECT_EQ(SecurityIDCache::CreateSecurityID(u"Everyone", u".").Get(), everyone.Get());
    EXPECT_EQ(SecurityIDCache::CreateSecurityID(u"BUILTIN\\Administrators", u"")->GetString(),
              u"S-1-5-32-544");

    const SecurityIDPtr unknown = SecurityIDCache::CreateSecurityID(u"S-1-5-21-1-2-3-4000");
    EXPECT_EQ(unknown->GetType(), ZymSecurity::SidTypeUnknown);
    EXPECT_TRUE(unknown->GetName().empty());
    EXPECT_EQ(pipetest::ErrorText<AccountLookupException>(
                  [] { SecurityIDCache::CreateSecurityID(u"zym-no-such-account", u""); }),
              Zym::GetLastErrorMessage(ERROR_NONE_MAPPED));
}
