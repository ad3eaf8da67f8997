#include "../PipePlatform.h"

#include "PipePath.h"

#include <ZymThread/EventSemaphore.h>

#include <Zym/LastError.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace ZymWindows::Platform {

namespace {

// How long a client waits before it tries a pipe with a full backlog again.
// The kernel does not tell a client when a listen backlog has room, so it
// polls.
constexpr int BUSY_RETRY_MS = 2;
// A busy pipe's default wait.
constexpr int DEFAULT_WAIT_MS = 30000;

// A server instance that takes a connection speaks first (its magic word),
// so the connection is open once bytes have arrived. A hang-up without
// them means the listener went away with the connection still waiting.
unsigned long CheckAccepted(const Zym::Handle& client) {
    pollfd ready{client.Get(), POLLIN, 0};
    if (poll(&ready, 1, 0) < 0)
        return Zym::SetLastErrorFromErrno(errno);
    if (ready.revents == 0) {
        Zym::SetLastError(Zym::ERROR_PIPE_BUSY);
        return Zym::ERROR_PIPE_BUSY;
    }
    char first = 0;
    if (recv(client.Get(), &first, 1, MSG_PEEK | MSG_DONTWAIT) == 1)
        return Zym::ERROR_SUCCESS;
    Zym::SetLastError(Zym::ERROR_FILE_NOT_FOUND);
    return Zym::ERROR_FILE_NOT_FOUND;
}

unsigned long Connect(const std::string& path, Zym::Handle& pipe) {
    std::string socketPath;
    if (const unsigned long error = SocketPathOf(path, socketPath); error != Zym::ERROR_SUCCESS) {
        Zym::SetLastError(error);
        return error;
    }
    Zym::Handle client(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!client.IsValid())
        return Zym::SetLastErrorFromErrno(errno);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    while (connect(client.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
           0) {
        if (errno == EINTR)
            continue;
        // A full backlog: every instance is taken. A refused connection
        // (a socket file without a server) maps to "not found".
        if (errno == EAGAIN) {
            Zym::SetLastError(Zym::ERROR_PIPE_BUSY);
            return Zym::ERROR_PIPE_BUSY;
        }
        return Zym::SetLastErrorFromErrno(errno);
    }
    // Non-blocking only to tell a full backlog; transfers choose per call.
    if (fcntl(client.Get(), F_SETFL, fcntl(client.Get(), F_GETFL) & ~O_NONBLOCK) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    pipe = std::move(client);
    return Zym::ERROR_SUCCESS;
}

} // namespace

// A connection waiting in the backlog keeps its place: a later call checks
// it again instead of queuing anew.
unsigned long OpenPipe(const std::string& path, Zym::Handle& pipe) {
    if (!pipe.IsValid())
        if (const unsigned long error = Connect(path, pipe); error != Zym::ERROR_SUCCESS)
            return error;
    const unsigned long state = CheckAccepted(pipe);
    if (state != Zym::ERROR_SUCCESS && state != Zym::ERROR_PIPE_BUSY)
        pipe.Close();
    return state;
}

void WaitForFreeInstance(const std::string&, const Zym::Handle& pipe,
                         ZymThread::EventSemaphore* shutdown) {
    // Watches the shutdown event without consuming it: the caller tests it
    // right after.
    pollfd events[] = {{shutdown ? shutdown->Handle() : -1, POLLIN, 0},
                       {pipe.IsValid() ? pipe.Get() : -1, POLLIN, 0}};
    poll(events, 2, pipe.IsValid() ? DEFAULT_WAIT_MS : BUSY_RETRY_MS);
}

} // namespace ZymWindows::Platform
