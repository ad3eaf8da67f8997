#include "ServiceManagerStandIn.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ServiceTest {

namespace {

int Milliseconds(std::chrono::steady_clock::duration left) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

// Waits for `fd` to become readable within what is left until `deadline`.
bool ReadableBefore(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        const int ready =
            ::poll(&entry, 1, Milliseconds(deadline - std::chrono::steady_clock::now()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

int g_SocketCount = 0;

} // namespace

NotifySocket::NotifySocket(bool abstract) {
    m_Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_Fd < 0)
        throw std::runtime_error("cannot create the notification socket");
    const std::string name =
        "zym-service-test-" + std::to_string(::getpid()) + "-" + std::to_string(++g_SocketCount);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socklen_t length = 0;
    if (abstract) {
        m_Address = "@" + name;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    } else {
        m_Path = "/tmp/" + name + ".sock";
        m_Address = m_Path;
        ::unlink(m_Path.c_str());
        std::memcpy(address.sun_path, m_Path.c_str(), m_Path.size() + 1);
        length = sizeof address;
    }
    if (::bind(m_Fd, reinterpret_cast<const sockaddr*>(&address), length) != 0)
        throw std::runtime_error("cannot bind the notification socket " + m_Address);
}

NotifySocket::~NotifySocket() {
    ::close(m_Fd);
    if (!m_Path.empty())
        ::unlink(m_Path.c_str());
}

std::string NotifySocket::Receive() {
    if (!ReadableBefore(m_Fd, std::chrono::steady_clock::now() + PATIENCE)) {
        ADD_FAILURE() << "no notification within " << PATIENCE.count() << " s";
        return "";
    }
    char buffer[4096];
    const ssize_t n = ::recv(m_Fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
}

std::vector<std::string> NotifySocket::ReceiveUntil(const std::string& text) {
    std::vector<std::string> received;
    do {
        received.push_back(Receive());
    } while (!received.back().empty() && received.back().find(text) == std::string::npos);
    return received;
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        bool replaced = false;
        for (const std::string& change : environment)
            replaced = replaced || change.substr(0, change.find('=')) == name;
        if (!replaced)
            variables.push_back(variable);
    }
    for (const std::string& change : environment) {
        if (change.find('=') != std::string::npos)
            variables.push_back(change);
    }
    std::vector<char*> envp, args;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    const int spawned = posix_spawn(&m_Pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    m_Err = fds[0];
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0]);
}

Child Child::Fork(const std::function<int()>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe");
    Child child;
    child.m_Pid = ::fork();
    if (child.m_Pid == 0) {
        ::dup2(fds[1], 2);
        int status = 1;
        try {
            status = body();
        } catch (...) {
        }
        ::_exit(status);
    }
    ::close(fds[1]);
    child.m_Err = fds[0];
    return child;
}

Child::Child(Child&& other) noexcept
    : m_Pid(std::exchange(other.m_Pid, -1)), m_Err(std::exchange(other.m_Err, -1)),
      m_Buffer(std::move(other.m_Buffer)) {}

Child::~Child() {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGKILL);
        Wait();
    }
    if (m_Err >= 0)
        ::close(m_Err);
}

void Child::Signal(int signal) const {
    ::kill(m_Pid, signal);
}

bool Child::ReadLine(std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
    for (;;) {
        const std::size_t end = m_Buffer.find('\n');
        if (end != std::string::npos) {
            line = m_Buffer.substr(0, end);
            m_Buffer.erase(0, end + 1);
            return true;
        }
        if (!ReadableBefore(m_Err, deadline)) {
            ADD_FAILURE() << "no line from the child within " << PATIENCE.count() << " s";
            return false;
        }
        char chunk[512];
        const ssize_t n = ::read(m_Err, chunk, sizeof chunk);
        if (n <= 0) {
            // A last line without its newline still counts.
            line = std::exchange(m_Buffer, "");
            return !line.empty();
        }
        m_Buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> Child::ReadLinesUntil(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string line; ReadLine(line);) {
        lines.push_back(line);
        if (line.find(text) != std::string::npos)
            return lines;
    }
    ADD_FAILURE() << "the child never wrote \"" << text << "\"";
    return lines;
}

std::vector<std::string> Child::RemainingLines() {
    std::vector<std::string> lines;
    for (std::string line; ReadLine(line);)
        lines.push_back(line);
    return lines;
}

int Child::Wait() {
    if (m_Pid <= 0)
        return -1;
    int status = 0;
    while (::waitpid(m_Pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace ServiceTest
