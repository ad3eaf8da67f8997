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

// How long a client waits before it tries a busy pipe again. The kernel
// does not tell a client when a listen backlog has room, so it polls.
constexpr int BUSY_RETRY_MS = 2;

} // namespace

unsigned long OpenPipe(const std::string& path, Zym::Handle& pipe) {
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

void WaitForFreeInstance(ZymThread::EventSemaphore* shutdown) {
    // Watches the shutdown event without consuming it: the caller tests it
    // right after.
    pollfd event{shutdown ? shutdown->Handle() : -1, POLLIN, 0};
    poll(&event, 1, BUSY_RETRY_MS);
}

} // namespace ZymWindows::Platform
