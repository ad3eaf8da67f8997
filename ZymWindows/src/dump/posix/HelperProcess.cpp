#include "dump/posix/HelperProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/prctl.h>
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
        if (dladdr(reinterpret_cast<void*>(&StartHelper), &info) == 0 || info.dli_fname == nullptr)
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

void CloseQuietly(int& fd) noexcept {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

bool SendAll(int socket, const void* data, std::size_t size) noexcept {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(socket, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace

bool StartHelper(const DumpHelper::Request& request, int outputFile, HelperRun& run) noexcept {
    if (g_HelperPath[0] == '\0')
        return false;
    int input[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return false;
    int output[2] = {-1, -1};
    if (outputFile < 0 && pipe2(output, O_CLOEXEC) != 0) {
        CloseQuietly(input[0]);
        CloseQuietly(input[1]);
        return false;
    }
    const int childOutput = outputFile >= 0 ? outputFile : output[1];
    // A bare clone: fork() would run the atfork handlers, which take locks
    // (malloc's among them) that a crashed thread may hold.
    const long child = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (dup2(input[1], STDIN_FILENO) >= 0 && dup2(childOutput, STDOUT_FILENO) >= 0) {
            char* const argv[] = {g_HelperPath, nullptr};
            char* const envp[] = {nullptr};
            execve(g_HelperPath, argv, envp);
        }
        _exit(127);
    }
    CloseQuietly(input[1]);
    CloseQuietly(output[1]);
    if (child < 0) {
        CloseQuietly(input[0]);
        CloseQuietly(output[0]);
        return false;
    }
    // Where Yama restricts ptrace to ancestors, let the helper in.
    prctl(PR_SET_PTRACER, static_cast<unsigned long>(child), 0, 0, 0);
    run.processId = static_cast<int>(child);
    run.output = output[0];
    const bool sent = SendAll(input[0], &request, sizeof request);
    CloseQuietly(input[0]);
    if (!sent) {
        FinishHelper(run);
        return false;
    }
    return true;
}

bool FinishHelper(HelperRun& run) noexcept {
    CloseQuietly(run.output);
    if (run.processId < 0)
        return false;
    int status = 0;
    pid_t ended;
    do
        ended = waitpid(run.processId, &status, 0);
    while (ended < 0 && errno == EINTR);
    run.processId = -1;
    return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace ZymWindows::Platform
