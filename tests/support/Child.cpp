#include "Child.h"

#include <gtest/gtest.h>

#include <algorithm>
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

extern char** environ;

namespace zymtest {

namespace {

std::string NameOf(const std::string& variable) {
    return variable.substr(0, variable.find('='));
}

std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        bool changed = false;
        for (const std::string& change : changes)
            changed = changed || NameOf(change) == NameOf(*entry);
        if (!changed)
            variables.emplace_back(*entry);
    }
    for (const std::string& change : changes) {
        if (change.find('=') != std::string::npos)
            variables.push_back(change);
    }
    return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

Child::Child(int lineStream) : m_LineStream(lineStream) {
    int lines[2];
    m_Other =
        open(std::filesystem::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_Other < 0 || pipe2(lines, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make the child's streams");
    m_Lines = lines[0];
    m_LinesWriteEnd = lines[1];
}

Child::Child(const std::vector<std::string>& argv) : Child(argv, Options()) {}

Child::Child(const std::vector<std::string>& argv, const Options& options)
    : Child(options.lineStream) {
    std::vector<std::string> args = argv, variables = ChangedEnvironment(options.environment);
    const std::vector<char*> argp = Pointers(args), envp = Pointers(variables);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, m_LinesWriteEnd, m_LineStream);
    posix_spawn_file_actions_adddup2(&actions, m_Other, 3 - m_LineStream);
    const int spawned = posix_spawn(&m_Pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(std::exchange(m_LinesWriteEnd, -1));
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0]);
}

Child Child::Fork(const std::function<int()>& body, int lineStream) {
    Child child(lineStream);
    std::fflush(nullptr); // nothing buffered is written twice
    child.m_Pid = fork();
    if (child.m_Pid == 0) {
        dup2(child.m_LinesWriteEnd, lineStream);
        dup2(child.m_Other, 3 - lineStream);
        int status = 1;
        try {
            status = body();
        } catch (...) {
        }
        _exit(status);
    }
    close(std::exchange(child.m_LinesWriteEnd, -1));
    return child;
}

Child::Child(Child&& other) noexcept
    : m_LineStream(other.m_LineStream), m_Pid(std::exchange(other.m_Pid, -1)),
      m_Lines(std::exchange(other.m_Lines, -1)), m_Other(std::exchange(other.m_Other, -1)),
      m_Pending(std::move(other.m_Pending)) {}

Child::~Child() {
    if (m_Pid > 0)
        Stop(SIGKILL);
    for (const int fd : {m_Lines, m_Other}) {
        if (fd >= 0)
            close(fd);
    }
}

void Child::Signal(int signal) const {
    kill(m_Pid, signal);
}

std::string Child::ReadLine() {
    const auto deadline = std::chrono::steady_clock::now() + LINE_PATIENCE;
    for (;;) {
        const std::size_t end = m_Pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_Pending.substr(0, end);
            m_Pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{m_Lines, POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ADD_FAILURE() << "no line from the child within " << LINE_PATIENCE.count() << " s";
            return "<timeout>";
        }
        char piece[4096];
        const ssize_t n = read(m_Lines, piece, sizeof piece);
        if (n <= 0) {
            // A last line without its newline still counts.
            return m_Pending.empty() ? "<eof>" : std::exchange(m_Pending, "");
        }
        m_Pending.append(piece, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> Child::ReadLinesUntil(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string line; (line = ReadLine()) != "<eof>" && line != "<timeout>";) {
        lines.push_back(line);
        if (line.find(text) != std::string::npos)
            return lines;
    }
    ADD_FAILURE() << "the child never wrote \"" << text << "\"";
    return lines;
}

std::vector<std::string> Child::RemainingLines() {
    std::vector<std::string> lines;
    for (std::string line; (line = ReadLine()) != "<eof>" && line != "<timeout>";)
        lines.push_back(line);
    return lines;
}

ProcessResult Child::Wait() {
    char piece[4096];
    for (ssize_t n; (n = read(m_Lines, piece, sizeof piece)) > 0;)
        m_Pending.append(piece, static_cast<std::size_t>(n));
    int status = 0;
    while (waitpid(std::exchange(m_Pid, -1), &status, 0) < 0 && errno == EINTR) {
    }
    std::string other;
    for (ssize_t n;
         (n = pread(m_Other, piece, sizeof piece, static_cast<off_t>(other.size()))) > 0;)
        other.append(piece, static_cast<std::size_t>(n));
    ProcessResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = m_LineStream == 1 ? std::exchange(m_Pending, "") : other;
    result.err = m_LineStream == 1 ? other : std::exchange(m_Pending, "");
    return result;
}

ProcessResult Child::Stop(int signal) {
    Signal(signal);
    return Wait();
}

} // namespace zymtest
