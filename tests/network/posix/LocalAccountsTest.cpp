#include <TestFiles.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using zymtest::ProcessResult;
using zymtest::RunProcess;
using zymtest::ScratchDirectory;
using zymtest::WriteFile;

namespace {

constexpr const char* NSS_WRAPPER = "/usr/lib/x86_64-linux-gnu/libnss_wrapper.so";
constexpr int USERS = 40;

// The variable's value and a separator, or nothing.
std::string Inherited(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value ? std::string(value) + ":" : std::string();
}

// A machine of its own: account files served through nss_wrapper and a host
// name, for zymwin processes started with them. Forty users (more than one
// page), the last of them "Alice"; "Staff" is the primary group of every
// third user and lists user01 and user02; "devs" lists user00, user05 and
// Alice; "wheel" lists user03 and there is no "sudo" group.
class LocalMachine {
public:
    LocalMachine() {
        std::ostringstream passwd, group;
        for (int i = 0; i < USERS; ++i) {
            const std::string name =
                i == USERS - 1 ? "Alice"
                               : "user" + std::string(i < 10 ? "0" : "") + std::to_string(i);
            passwd << name << ":x:" << 2000 + i << ":" << (i % 3 == 0 ? 3000 : 3100 + i)
                   << "::/home/" << name << ":/bin/sh\n";
        }
        group << "root:x:0:\nwheel:x:10:user03\nStaff:x:3000:user01,user02\n"
                 "devs:x:3001:user00,user05,Alice\nuser05:x:3105:\n";
        WriteFile(m_Directory.Path() / "passwd", passwd.str());
        WriteFile(m_Directory.Path() / "group", group.str());
    }

    // The output of a zymwin net command that succeeds.
    std::string Out(const std::vector<std::string>& arguments) const {
        const ProcessResult result = Net(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }
    std::vector<std::string> Lines(const std::vector<std::string>& arguments) const {
        return zymtest::SplitLines(Out(arguments));
    }
    // The error text of a zymwin net command that fails.
    std::string Failure(const std::vector<std::string>& arguments) const {
        const ProcessResult result = Net(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        return result.err;
    }

private:
    ProcessResult Net(const std::vector<std::string>& arguments) const {
        std::vector<std::string> argv = {
            "env", std::string("LD_PRELOAD=") + NSS_WRAPPER,
            "NSS_WRAPPER_PASSWD=" + (m_Directory.Path() / "passwd").string(),
            "NSS_WRAPPER_GROUP=" + (m_Directory.Path() / "group").string(),
            "NSS_WRAPPER_HOSTNAME=WrapHost.example.org",
            // The sanitizers' runtime wants to be loaded first.
            "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0",
            // Sanitizers refuse nss_wrapper's deep binding of libc; and it
            // takes its first lock before ThreadSanitizer watches, which then
            // sees only the release.
            "NSS_WRAPPER_DISABLE_DEEPBIND=1",
            "TSAN_OPTIONS=" + Inherited("TSAN_OPTIONS") + "report_mutex_bugs=0", ZYMWIN_PATH,
            "net"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProcess(argv);
    }

private:
    ScratchDirectory m_Directory;
};

using Lines = std::vector<std::string>;

} // namespace

TEST(LocalAccounts, UsersAndGroupsComeFromTheAccountDatabaseInItsOrder) {
    const LocalMachine machine;
    EXPECT_EQ(machine.Out({"computer"}), "wraphost\n");

    const std::string users = machine.Out({"--repeat", "2", "users"});
    const Lines lines = zymtest::SplitLines(users);
    ASSERT_EQ(lines.size(), 2U * USERS);
    EXPECT_EQ(lines[0], "S-1-22-1-2000\twraphost\\user00");
    EXPECT_EQ(lines[USERS - 1], "S-1-22-1-2039\twraphost\\Alice");
    EXPECT_EQ(lines[USERS], lines[0]);

    // Every name of this computer is this computer.
    for (const char* name : {"WRAPHOST", ".", "localhost", "wraphost.EXAMPLE.org"})
        EXPECT_EQ(machine.Out({"users", name}), users.substr(0, users.size() / 2)) << name;

    EXPECT_EQ(machine.Lines({"groups"}),
              (Lines{"S-1-22-2-0\twraphost\\root", "S-1-22-2-10\twraphost\\wheel",
                     "S-1-22-2-3000\twraphost\\Staff", "S-1-22-2-3001\twraphost\\devs",
                     "S-1-22-2-3105\twraphost\\user05"}));
}

TEST(LocalAccounts, MembershipsJoinMemberListsAndPrimaryGroups) {
    const LocalMachine machine;
    // A user whose name is also a group's resolves to the user's groups.
    EXPECT_EQ(machine.Lines({"user-groups", "wraphost", "", "user05"}),
              (Lines{"S-1-22-2-3105\twraphost\\user05", "S-1-22-2-3001\twraphost\\devs"}));
    EXPECT_EQ(machine.Lines({"user-groups", ".", "WrapHost", "user01"}),
              Lines{"S-1-22-2-3000\twraphost\\Staff"});
    // Names are found in any case, as the queries lower-case them.
    EXPECT_EQ(machine.Lines({"user-groups", "", "", "ALICE"}),
              (Lines{"S-1-22-2-3000\twraphost\\Staff", "S-1-22-2-3001\twraphost\\devs"}));

    const Lines members = machine.Lines({"members", "", "Staff"});
    ASSERT_EQ(members.size(), 2U + (USERS + 2) / 3);
    EXPECT_EQ(Lines(members.begin(), members.begin() + 3),
              (Lines{"S-1-22-1-2001\twraphost\\user01", "S-1-22-1-2002\twraphost\\user02",
                     "S-1-22-1-2000\twraphost\\user00"}));

    EXPECT_EQ(machine.Out({"admin-group"}), "wheel\n");
}

TEST(LocalAccounts, UnknownAccountsFailWithTheirExceptionAndSystemText) {
    const LocalMachine machine;
    EXPECT_EQ(machine.Failure({"members", ".", "nosuch"}),
              "zymwin net: WindowsInvalidUserGroupException: The specified local group does not "
              "exist.\n");
    EXPECT_EQ(machine.Failure({"user-groups", ".", "", "ghost"}),
              "zymwin net: WindowsInvalidUserGroupException: The user name could not be found.\n");
    // A domain account is not this machine's.
    EXPECT_NE(machine.Failure({"user-groups", ".", "corp", "user01"})
                  .find("WindowsInvalidUserGroupException"),
              std::string::npos);
    EXPECT_EQ(machine.Failure({"members", "."}),
              "zymwin net: usage: zymwin net members MACHINE GROUP\n");
}
