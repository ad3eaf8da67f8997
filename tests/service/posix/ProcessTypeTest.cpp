#include "TestFiles.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Service.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using ZymWindows::Service;

namespace {

std::string TypeOf(const std::vector<std::string>& command) {
    const auto run = zymtest::RunProcess(command);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

// `sleep` in a session of its own, with `invocation` as its INVOCATION_ID
// (none when empty); returns once it runs (the pipe's end closes on exec).
pid_t Sleeper(const std::string& invocation) {
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        if (invocation.empty())
            ::unsetenv("INVOCATION_ID");
        else
            ::setenv("INVOCATION_ID", invocation.c_str(), 1);
        ::execlp("sleep", "sleep", "infinity", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(started[1]);
    char byte;
    while (::read(started[0], &byte, 1) > 0) {
    }
    ::close(started[0]);
    return child;
}

void Reap(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace

TEST(ServiceProcessType, StartedByTheManagerOrFromATerminal) {
    // Children inherit the suite's own unit and login session; where the
    // suite runs in neither (as in CI), their type is up to them alone.
    const Service::ProcessType own = Service::GetProcessType(nullptr);
    const std::string zymwin = ZYMWIN_PATH;
    if (own == Service::OTHER_PROCESS) {
        EXPECT_EQ(TypeOf({"setsid", zymwin, "service", "type"}), "OTHER_PROCESS\n");
    }
    EXPECT_EQ(TypeOf({"env", "INVOCATION_ID=0123456789abcdef", zymwin, "service", "type"}),
              "SERVICE_PROCESS\n");
    // Another account's process cannot be signalled, yet it runs.
    EXPECT_EQ(TypeOf({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", zymwin,
                      "service", "type", "1"}),
              TypeOf({zymwin, "service", "type", "1"}));
    // script(1) gives the command a terminal of its own.
    if (own != Service::SERVICE_PROCESS) {
        EXPECT_EQ(TypeOf({"script", "-qec", "env -u INVOCATION_ID " + zymwin + " service type",
                          "/dev/null"})
                      .substr(0, 19),
                  "INTERACTIVE_PROCESS");
    }
}

TEST(ServiceProcessType, OtherProcessesByHandle) {
    const pid_t service = Sleeper("fedcba9876543210");
    const pid_t plain = Sleeper("");
    ASSERT_GT(service, 0);
    ASSERT_GT(plain, 0);

    void* handle = Service::OpenProcessHandle(static_cast<unsigned long>(service));
    EXPECT_EQ(Service::GetProcessType(handle), Service::SERVICE_PROCESS);
    Service::CloseProcessHandle(handle);

    // Without the variable, the child is what its parent is.
    handle = Service::OpenProcessHandle(static_cast<unsigned long>(plain));
    if (Service::GetProcessType(nullptr) == Service::OTHER_PROCESS) {
        EXPECT_EQ(Service::GetProcessType(handle), Service::OTHER_PROCESS);
    }
    // Once the process is gone its handle tells nothing more.
    Reap(plain);
    EXPECT_THROW(Service::GetProcessType(handle), ZymWindows::WindowsException);
    Service::CloseProcessHandle(handle);
    Reap(service);
    EXPECT_THROW(Service::OpenProcessHandle(static_cast<unsigned long>(service)),
                 ZymWindows::WindowsException);
}
