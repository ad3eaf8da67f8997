#include "ProcessWait.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace DumpTest {

zymtest::ProcessResult WaitAtMost(zymtest::Child& child, std::chrono::seconds patience) {
    const int ended = static_cast<int>(syscall(SYS_pidfd_open, child.Pid(), 0));
    if (ended >= 0) {
        pollfd wait{ended, POLLIN, 0};
        const int milliseconds = static_cast<int>(patience.count() * 1000);
        int ready;
        while ((ready = poll(&wait, 1, milliseconds)) < 0 && errno == EINTR) {
        }
        close(ended);
        if (ready == 0) {
            ADD_FAILURE() << "the process did not end within " << patience.count() << " s";
            child.Signal(SIGKILL);
        }
    }
    return child.Wait();
}

} // namespace DumpTest
