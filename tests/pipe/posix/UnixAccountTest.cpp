// Unix accounts as SIDs and thread credentials: the Linux side's convention.
#include <ZymSecurity/NetworkSecurity.h>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace ZymSecurity;

namespace {

constexpr std::uint32_t NOBODY = 65534;

// Switches only the calling thread's effective user, as the raw system
// call does (the libc wrapper would switch every thread of the process).
void SetThreadEffectiveUser(uid_t uid) {
    ASSERT_EQ(syscall(SYS_setresuid, -1, uid, -1), 0);
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
    const SecurityIDPtr group = SecurityIDCache::CreateSecurityID(BinarySID::UnixGroup(65534));
    const std::string groupName = nogroup->gr_name;
    EXPECT_EQ(group->GetName(), std::u16string(groupName.begin(), groupName.end()));
    EXPECT_EQ(group->GetType(), SidTypeGroup);

    // An account the database does not know keeps its number as its name.
    const SecurityIDPtr unknown = SecurityIDCache::CreateSecurityID(BinarySID::UnixUser(4000123));
    EXPECT_EQ(unknown->GetName(), u"4000123");
    const SecurityIDPtr foreign = SecurityIDCache::CreateSecurityID(u"S-1-5-32-544");
    EXPECT_EQ(foreign->GetType(), SidTypeUnknown);
    EXPECT_TRUE(foreign->GetName().empty());
}

TEST(NetworkSecurity, ThreadTokenFollowsTheThreadsOwnCredentials) {
    if (geteuid() != 0)
        GTEST_SKIP() << "switching a thread's user needs root";
    AccessTokenPtr threadToken, processToken;
    std::thread([&] {
        SetThreadEffectiveUser(NOBODY);
        threadToken = NetworkSecurity::GetCurrentThreadHandle();
        processToken = NetworkSecurity::GetCurrentProcessHandle();
        SetThreadEffectiveUser(0);
    }).join();
    EXPECT_EQ(threadToken->GetUid(), NOBODY);
    EXPECT_EQ(processToken->GetUid(), 0u);
    const SecurityIDPtr user =
        NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(*threadToken));
    EXPECT_EQ(user->GetString(), u"S-1-22-1-65534");
    EXPECT_EQ(user->GetName(), u"nobody");
}

TEST(NetworkSecurity, GroupsStartWithThePrimaryGroupEachOnce) {
    const AccessToken token(1000, 100, {27, 100, 27, 5});
    EXPECT_EQ(token.GetGroups(), (std::vector<std::uint32_t>{100, 27, 5}));
    std::vector<SecurityIDPtr> sids;
    NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(token), sids);
    ASSERT_EQ(sids.size(), 3u);
    EXPECT_EQ(sids[0]->GetString(), u"S-1-22-2-100");
    EXPECT_EQ(sids[2]->GetString(), u"S-1-22-2-5");
    const AccessTokenPtr own = NetworkSecurity::GetCurrentThreadHandle();
    EXPECT_EQ(own->GetUid(), geteuid());
    EXPECT_EQ(own->GetGid(), getegid());
}
