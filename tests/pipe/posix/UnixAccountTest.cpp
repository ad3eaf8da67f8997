// Unix accounts as SIDs and thread credentials: the Linux side's convention.
#include "../PipeTestSupport.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>
#include <ZymSecurity/Exceptions.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymSecurity/UnixAccounts.h>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <set>
#include <unistd.h>

using namespace ZymSecurity;

namespace {

std::u16string Text(const char* prefix, std::uint32_t id) {
    return ZymCharset::FromUtf8(prefix + std::to_string(id));
}

} // namespace

TEST(SecurityID, UnixAccountsAreNamedFromTheAccountDatabase) {
    const SecurityIDPtr root = SecurityIDCache::CreateSecurityID(u"S-1-22-1-0");
    EXPECT_EQ(root->GetName(), u"root");
    EXPECT_EQ(root->GetType(), SidTypeUser);
    EXPECT_FALSE(root->GetDomain().empty());
    EXPECT_EQ(root->GetString(), u"S-1-22-1-0");

    const group* nogroup = getgrgid(65534);
    ASSERT_NE(nogroup, nullptr);
    const SecurityIDPtr group = SecurityIDCache::CreateSecurityID(u"S-1-22-2-65534");
    const std::string groupName = nogroup->gr_name;
    EXPECT_EQ(group->GetName(), std::u16string(groupName.begin(), groupName.end()));
    EXPECT_EQ(group->GetType(), SidTypeGroup);

    // An account the database does not know keeps its number as its name.
    const SecurityIDPtr unknown = SecurityIDCache::CreateSecurityID(u"S-1-22-1-4000123");
    EXPECT_EQ(unknown->GetName(), u"4000123");
    const SecurityIDPtr foreign = SecurityIDCache::CreateSecurityID(u"S-1-5-32-544");
    EXPECT_EQ(foreign->GetType(), SidTypeUnknown);
    EXPECT_TRUE(foreign->GetName().empty());
}

TEST(SecurityID, AccountNamesOfThisComputerFindTheirSIDs) {
    const std::u16string computer = ZymNetwork::GetComputerName();
    EXPECT_EQ(SecurityIDCache::CreateSecurityID(u"root", u"")->GetString(), u"S-1-22-1-0");
    EXPECT_EQ(SecurityIDCache::CreateSecurityID(computer + u"\\root", u".")->GetString(),
              u"S-1-22-1-0");
    // A group is found when no user has the name.
    const std::string groupName = getgrgid(65534)->gr_name;
    ASSERT_EQ(getpwnam(groupName.c_str()), nullptr);
    EXPECT_EQ(SecurityIDCache::CreateSecurityID(ZymCharset::FromUtf8(groupName), u"")->GetString(),
              u"S-1-22-2-65534");
    const SecurityIDPtr domain = SecurityIDCache::CreateSecurityID(computer, u"localhost");
    EXPECT_EQ(domain->GetString(), u"S-1-22-1");
    EXPECT_EQ(domain->GetType(), SidTypeDomain);
    for (const char16_t* unknown : {u"elsewhere\\root", u"zym-no-such-account"})
        EXPECT_EQ(pipetest::ErrorText<AccountLookupException>(
                      [&] { SecurityIDCache::CreateSecurityID(unknown, u""); }),
                  Zym::GetLastErrorMessage(Zym::ERROR_NONE_MAPPED))
            << ZymCharset::ToUtf8(unknown);
}

TEST(NetworkSecurity, GroupsStartWithThePrimaryGroupEachOnce) {
    const AccessToken token(UnixAccounts::UserSID(1000),
                            {UnixAccounts::GroupSID(100), UnixAccounts::GroupSID(27),
                             UnixAccounts::GroupSID(100), UnixAccounts::GroupSID(5)});
    std::vector<SecurityIDPtr> sids;
    NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(token), sids);
    std::vector<std::u16string> texts;
    for (const SecurityIDPtr& sid : sids)
        texts.push_back(sid->GetString());
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"S-1-22-2-100", u"S-1-22-2-27", u"S-1-22-2-5"}));

    // The process's own: its effective ids, then every supplementary group.
    const AccessTokenPtr own = NetworkSecurity::GetCurrentThreadHandle();
    EXPECT_EQ(own->GetUser(), BinarySID::Parse(Text("S-1-22-1-", geteuid())));
    std::vector<gid_t> groups(getgroups(0, nullptr));
    groups.resize(getgroups(static_cast<int>(groups.size()), groups.data()));
    std::set<std::u16string> expected{Text("S-1-22-2-", getegid())}, listed;
    for (const gid_t gid : groups)
        expected.insert(Text("S-1-22-2-", gid));
    for (const BinarySID& group : own->GetGroups())
        listed.insert(group.ToString());
    EXPECT_EQ(own->GetGroups().front().ToString(), Text("S-1-22-2-", getegid()));
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(listed.size(), own->GetGroups().size());
}
