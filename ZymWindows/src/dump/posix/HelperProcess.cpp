#include "dump/posix/HelperProcess.h"

#include "dump/DumpPlatform.h"
#include "dump/posix/SocketSend.h"
#include "dump/posix/ThreadNames.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// The helper's path, worked out when the library is loaded: a fatal-signal
// handler cannot allocate to find it then.
char g_HelperPath[4096];

struct HelperPathInit {
    HelperPathInit() noexcept {
        // An explicit helper, for a library moved away from its libexec.
        if (const char* given = std::getenv("ZYM_DUMP_HELPER")) {
            if (std::strlen(given) < sizeof g_HelperPath)
                std::strcpy(g_HelperPath, given);
            return;
        }
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&RunHelper), &info) == 0 || info.dli_fname == nullptr)
            return;
        const char* slash = std::strrchr(info.dli_fname, '/');
        if (slash == nullptr)
            return;
        const std::size_t folder = static_cast<std::size_t>(slash - info.dli_fname) + 1;
        const std::size_t relative = std::strlen(ZYM_DUMP_HELPER_RELATIVE);
        if (folder + relative >= sizeof g_HelperPath)
            return;
        std::memcpy(g_HelperPath, info.dli_fname, folder);
        std::memcpy(g_HelperPath + folder, ZYM_DUMP_HELPER_RELATIVE, relative + 1);
    }
} g_HelperPathInit;

// The helper running now, for AbandonHelper.
std::atomic<long> g_RunningHelper{0};

void CloseQuietly(int& fd) noexcept {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// Closes every descriptor from `first` on.
void CloseFrom(int first) noexcept {
    if (syscall(SYS_close_range, first, ~0U, 0) == 0)
        return;
    rlimit limit{};
    const rlim_t last = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                            ? limit.rlim_cur
                            : 65536;
    for (rlim_t fd = static_cast<rlim_t>(first); fd < last; ++fd)
        close(static_cast<int>(fd));
}

// In the child: the helper starts with the default action for every
// signal, none blocked (the crashing thread's mask would otherwise be
// its), and only its standard input, output and error open, so that it
// holds no end of the process's pipes and sockets. Returns only when the
// helper could not be started.
void BecomeHelper(int input, int output) noexcept {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal)
        sigaction(signal, &standard, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Above the standard ones first, in case either already is one.
    const int in = fcntl(input, F_DUPFD, 3);
    const int out = fcntl(output, F_DUPFD, 3);
    if (in >= 0 && out >= 0 && dup2(in, STDIN_FILENO) >= 0 && dup2(out, STDOUT_FILENO) >= 0) {
        CloseFrom(3);
        char* const argv[] = {g_HelperPath, nullptr};
        char* const envp[] = {nullptr};
        execve(g_HelperPath, argv, envp);
    }
}

// Reads the helper's output to its end; the path of a "P <path>" line
// goes to `written`.
void ReadStatus(int output, char* written, std::size_t size) noexcept {
    char line[DumpHelper::PATH_SIZE + 4];
    std::size_t length = 0;
    for (;;) {
        const ssize_t got = read(output, line + length, sizeof line - 1 - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        length += static_cast<std::size_t>(got);
        if (length == sizeof line - 1)
            length = 0; // no such line is this long: drop it
    }
    line[length] = '\0';
    const char* end = static_cast<const char*>(std::memchr(line, '\n', length));
    if (length < 2 || line[0] != 'P' || line[1] != ' ' || end == nullptr)
        return;
    const std::size_t pathLength = static_cast<std::size_t>(end - line) - 2;
    if (pathLength >= size)
        return;
    std::memcpy(written, line + 2, pathLength);
    written[pathLength] = '\0';
}

bool WaitForHelper(long helper) noexcept {
    int status = 0;
    pid_t ended;
    do
        ended = waitpid(static_cast<pid_t>(helper), &status, 0);
    while (ended < 0 && errno == EINTR);
    return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

bool RunHelper(const DumpHelper::Request& request, char* written, std::size_t size) noexcept {
    if (size > 0)
        written[0] = '\0';
    if (g_HelperPath[0] == '\0')
        return false;
    int input[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return false;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        CloseQuietly(input[0]);
        CloseQuietly(input[1]);
        return false;
    }
    // A bare clone: fork() would run the atfork handlers, which take locks
    // (malloc's among them) that a crashed thread may hold.
    const long helper = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
    if (helper == 0) {
        BecomeHelper(input[1], output[1]);
        _exit(127);
    }
    CloseQuietly(input[1]);
    CloseQuietly(output[1]);
    if (helper < 0) {
        CloseQuietly(input[0]);
        CloseQuietly(output[0]);
        return false;
    }
    g_RunningHelper.store(helper);
    // Where Yama restricts ptrace to ancestors, let the helper in; the
    // exception ends with the helper.
    prctl(PR_SET_PTRACER, static_cast<unsigned long>(helper), 0, 0, 0);
    const bool sent = SendAll(input[0], &request, sizeof request) && SendThreadNames(input[0]);
    CloseQuietly(input[0]);
    ReadStatus(output[0], written, size);
    CloseQuietly(output[0]);
    const bool finished = WaitForHelper(helper);
    prctl(PR_SET_PTRACER, 0UL, 0, 0, 0);
    g_RunningHelper.store(0);
    return sent && finished;
}

void AbandonHelper() noexcept {
    const long helper = g_RunningHelper.load();
    if (helper > 0)
        kill(static_cast<pid_t>(helper), SIGKILL);
}

} // namespace ZymWindows::Platform
