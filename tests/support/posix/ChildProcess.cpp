#include "ChildProcess.h"

#include "Environment.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace zymtest {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

struct ChildProcess::State {
    State() {
        int lines[2];
        other = open(std::filesystem::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                     0600);
        if (other < 0 || pipe2(lines, O_CLOEXEC) != 0)
            throw std::runtime_error("cannot make the child's streams");
        linesRead = lines[0];
        linesWrite = lines[1];
    }
    ~State() {
        for (const int fd : {linesRead, linesWrite, other})
            if (fd >= 0)
                close(fd);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    pid_t pid = -1;
    int linesRead = -1;
    int linesWrite = -1;
    // The other stream goes to a file without a name, so that it never
    // fills up while the test reads lines.
    int other = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment, int lineStream)
    : m_State(std::make_unique<State>()) {
    std::vector<std::string> args = argv, variables = ChangedEnvironment(CurrentEnvironment(),
                                                                         environment, false);
    const std::vector<char*> argp = Pointers(args), envp = Pointers(variables);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, m_State->linesWrite, lineStream);
    posix_spawn_file_actions_adddup2(&actions, m_State->other, 3 - lineStream);
    const int spawned =
        posix_spawn(&m_State->pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(std::exchange(m_State->linesWrite, -1));
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0]);
}

ChildProcess::ChildProcess(const std::function<int()>& body, int lineStream)
    : m_State(std::make_unique<State>()) {
    std::fflush(nullptr); // nothing buffered is written twice
    m_State->pid = fork();
    if (m_State->pid == 0) {
        dup2(m_State->linesWrite, lineStream);
        dup2(m_State->other, 3 - lineStream);
        int status = 1;
        try {
            status = body();
        } catch (...) {
        }
        _exit(status);
    }
    close(std::exchange(m_State->linesWrite, -1));
    if (m_State->pid < 0)
        throw std::runtime_error("cannot fork");
}

ChildProcess::~ChildProcess() {
    if (m_State->pid > 0) {
        kill(m_State->pid, SIGKILL);
        while (waitpid(m_State->pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

void ChildProcess::Signal(int signal) const {
    if (m_State->pid > 0)
        kill(m_State->pid, signal);
}

void ChildProcess::Kill() {
    Signal(SIGKILL);
}

ChildProcess::Read ChildProcess::ReadSome(std::string& into, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{m_State->linesRead, POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Read::Timeout;
        char piece[4096];
        const ssize_t n = read(m_State->linesRead, piece, sizeof piece);
        if (n <= 0)
            return Read::End;
        into.append(piece, static_cast<std::size_t>(n));
        return Read::Some;
    }
}

ProcessResult ChildProcess::Wait(std::string& lines, std::string& other) {
    char piece[4096];
    for (ssize_t n; (n = read(m_State->linesRead, piece, sizeof piece)) > 0;)
        lines.append(piece, static_cast<std::size_t>(n));
    int status = 0;
    if (m_State->pid > 0) {
        while (waitpid(m_State->pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_State->pid = -1;
    }
    for (ssize_t n;
         (n = pread(m_State->other, piece, sizeof piece, static_cast<off_t>(other.size()))) > 0;)
        other.append(piece, static_cast<std::size_t>(n));
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", "",
            WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

} // namespace zymtest
