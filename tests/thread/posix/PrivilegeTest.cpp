#include <Zym/LastError.h>
#include <ZymThread/ThisThread.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <linux/capability.h>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace ZymThread::ThisThread;

namespace {

// A capability set of a thread, as the kernel reports it in its status.
std::uint64_t CapabilitySet(const std::string& statusPath, const std::string& field) {
    std::ifstream status(statusPath);
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1), nullptr, 16);
    ADD_FAILURE() << field << " missing from " << statusPath;
    return 0;
}

std::uint64_t EffectiveOfThisThread() {
    return CapabilitySet("/proc/thread-self/status", "CapEff");
}

// Drops a capability from the calling thread's effective set and, if asked,
// from its permitted set too.
void DropCapability(int capability, bool fromPermitted) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    data[capability / 32].effective &= ~(1U << (capability % 32));
    if (fromPermitted)
        data[capability / 32].permitted &= ~(1U << (capability % 32));
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
}

constexpr std::uint64_t PTRACE = std::uint64_t{1} << CAP_SYS_PTRACE;

} // namespace

TEST(Privilege, DebugPrivilegeRaisesPtraceOnTheCallingThreadOnly) {
    if (!(CapabilitySet("/proc/self/status", "CapPrm") & PTRACE))
        GTEST_SKIP() << "this process may not hold CAP_SYS_PTRACE";
    const std::string mainStatus = "/proc/self/task/" + std::to_string(::gettid()) + "/status";
    const std::uint64_t mainBefore = CapabilitySet(mainStatus, "CapEff");
    std::thread worker([&] {
        DropCapability(CAP_SYS_PTRACE, false);
        ASSERT_FALSE(EffectiveOfThisThread() & PTRACE);
        PrivilegeToken token;
        PrivilegeState previous;
        ASSERT_TRUE(EnablePrivilege(u"sedebugprivilege", token, previous));
        EXPECT_TRUE(EffectiveOfThisThread() & PTRACE);
        EXPECT_EQ(CapabilitySet(mainStatus, "CapEff"), mainBefore);

        std::thread other([&] {
            EXPECT_FALSE(RestorePrivilege(token, previous));
            EXPECT_EQ(Zym::GetLastError(), 1444u);
        });
        other.join();
        ASSERT_TRUE(RestorePrivilege(token, previous));
        EXPECT_FALSE(EffectiveOfThisThread() & PTRACE);
    });
    worker.join();
}

TEST(Privilege, ReportsTruthfullyWhatCannotBeEnabled) {
    std::thread worker([] {
        PrivilegeToken token;
        PrivilegeState previous;
        EXPECT_FALSE(EnablePrivilege(u"SeMadeUpPrivilege", token, previous));
        EXPECT_EQ(Zym::GetLastError(), 1313u);

        DropCapability(CAP_SYS_PTRACE, true);
        EXPECT_FALSE(EnablePrivilege(u"SeDebugPrivilege", token, previous));
        EXPECT_EQ(Zym::GetLastError(), 1300u);
        EXPECT_FALSE(EffectiveOfThisThread() & PTRACE);
        EXPECT_TRUE(RestorePrivilege(token, previous)) << "nothing was changed";

        // Every Linux thread may traverse directories.
        EXPECT_TRUE(EnablePrivilege(u"SeChangeNotifyPrivilege", token, previous));
        EXPECT_TRUE(RestorePrivilege(token, previous));
    });
    worker.join();
}
