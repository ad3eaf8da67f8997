#include "HelperProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ZymWindows::Network {

HelperProcess::Outcome HelperProcess::Exchange(const NetHelper::Request& request,
                                               Clock::time_point deadline,
                                               NetHelper::Response& response) {
    const std::string message = NetHelper::Encode(request);
    // A helper that ended since the last call is started again.
    if (m_Socket >= 0 && !Alive())
        Stop(true);
    if (m_Socket < 0 && !Start())
        return FAILED;
    const auto abandon = [&] {
        const bool late = Clock::now() >= deadline;
        Stop(true);
        return late ? TIMED_OUT : FAILED;
    };
    std::string header(4, '\0');
    if (!Send(message, deadline) || !Receive(header, deadline))
        return abandon();
    const std::uint32_t size =
        static_cast<unsigned char>(header[0]) | (static_cast<unsigned char>(header[1]) << 8) |
        (static_cast<unsigned char>(header[2]) << 16) |
        (static_cast<std::uint32_t>(static_cast<unsigned char>(header[3])) << 24);
    if (size > NetHelper::MAX_RESPONSE) {
        // The rest of the answer would stay in the way of the next one.
        Stop(true);
        return TOO_LARGE;
    }
    std::string body(size, '\0');
    if (!Receive(body, deadline) || !NetHelper::Decode(body, response))
        return abandon();
    return ANSWERED;
}

bool HelperProcess::Start() {
    if (m_Path.empty())
        return false;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    // The helper's end goes to its descriptor 3: duplicating a descriptor
    // onto itself would leave it closed on exec.
    if (ends[1] == 3) {
        const int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, 4);
        close(ends[1]);
        ends[1] = moved;
        if (moved < 0) {
            close(ends[0]);
            return false;
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* const argv[] = {m_Path.data(), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, m_Path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (spawned != 0) {
        close(ends[0]);
        return false;
    }
    m_Process = child;
    m_Socket = ends[0];
    return true;
}

// Whether the helper is still there: between calls it only reads, so its
// end of the socket becomes readable only by closing.
bool HelperProcess::Alive() {
    pollfd check{m_Socket, POLLIN, 0};
    return poll(&check, 1, 0) == 0;
}

// Ends the helper: closing its socket lets it leave by itself; one that is
// stuck in a call is killed.
void HelperProcess::Stop(bool kill) {
    if (m_Socket >= 0)
        close(m_Socket);
    m_Socket = -1;
    if (m_Process <= 0)
        return;
    if (kill)
        ::kill(m_Process, SIGKILL);
    int status = 0;
    pid_t ended;
    do
        ended = waitpid(m_Process, &status, 0);
    while (ended < 0 && errno == EINTR);
    m_Process = -1;
}

// Waits until the socket is ready for `events` or the deadline passes.
bool HelperProcess::Wait(short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wait{m_Socket, events, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left.count()) + 1);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool HelperProcess::Send(const std::string& bytes, Clock::time_point deadline) {
    return Transfer(POLLOUT, bytes.size(), deadline, [&](std::size_t done) {
        return send(m_Socket, bytes.data() + done, bytes.size() - done,
                    MSG_NOSIGNAL | MSG_DONTWAIT);
    });
}

bool HelperProcess::Receive(std::string& bytes, Clock::time_point deadline) {
    return Transfer(POLLIN, bytes.size(), deadline, [&](std::size_t done) {
        return recv(m_Socket, bytes.data() + done, bytes.size() - done, MSG_DONTWAIT);
    });
}

// Moves `size` bytes by non-blocking steps, each once the socket is ready
// for `events`; false when the peer is gone or `deadline` passed.
template <class Step>
bool HelperProcess::Transfer(short events, std::size_t size, Clock::time_point deadline,
                             Step step) {
    std::size_t done = 0;
    while (done < size) {
        if (!Wait(events, deadline))
            return false;
        const ssize_t moved = step(done);
        if (moved < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (moved <= 0)
            return false;
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

HelperProcess& HelperPool::Acquire() {
    std::unique_lock guard(m_Lock);
    m_Freed.wait(guard, [&] { return !m_Free.empty() || m_Helpers.size() < MAX_HELPERS; });
    if (m_Free.empty())
        return *m_Helpers.emplace_back(std::make_unique<HelperProcess>(m_Path));
    HelperProcess* helper = m_Free.back();
    m_Free.pop_back();
    return *helper;
}

void HelperPool::Release(HelperProcess& helper) {
    bool surplus = false;
    {
        std::lock_guard guard(m_Lock);
        surplus = m_Free.size() >= KEPT_RUNNING;
    }
    // Outside the lock: the helper takes a moment to leave.
    if (surplus)
        helper.Retire();
    // Running helpers are taken first, the most recently used before others.
    std::lock_guard guard(m_Lock);
    m_Free.insert(surplus ? m_Free.begin() : m_Free.end(), &helper);
    m_Freed.notify_one();
}

} // namespace ZymWindows::Network
