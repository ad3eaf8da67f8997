#include "Reachability.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ZymWindows::NetHelper {

namespace {

// The outcome of one connection attempt to `address` on `port`: 0, or the
// errno of the failure (ETIMEDOUT when `deadline` passed first).
int TryConnect(const addrinfo& address, std::uint16_t port,
               std::chrono::steady_clock::time_point deadline) {
    sockaddr_storage target{};
    std::memcpy(&target, address.ai_addr, address.ai_addrlen);
    if (target.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(target).sin_port = htons(port);
    else if (target.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(target).sin6_port = htons(port);
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
    if (fd < 0)
        return errno;
    int error = connect(fd, reinterpret_cast<const sockaddr*>(&target), address.ai_addrlen) == 0
                    ? 0
                    : errno;
    while (error == EINPROGRESS || error == EINTR) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = ETIMEDOUT;
            break;
        }
        pollfd wait{fd, POLLOUT, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0) {
            error = errno;
            continue;
        }
        if (ready == 0)
            continue;
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
    }
    close(fd);
    return error;
}

} // namespace

Reason Reach(const std::string& server, std::uint32_t timeoutMs, bool& resolved) {
    resolved = false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        // A NetBIOS name may still resolve through Samba's own means; a
        // name with a dot is a DNS name, and DNS has spoken.
        return server.find('.') != std::string::npos ? REASON_NAME_UNKNOWN : REASON_NONE;
    }
    resolved = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Reason reason = REASON_UNREACHABLE;
    for (addrinfo* address = found; address != nullptr && reason != REASON_NONE;
         address = address->ai_next) {
        for (const std::uint16_t port : {445, 139}) {
            const int error = TryConnect(*address, port, deadline);
            if (error == 0) {
                reason = REASON_NONE;
                break;
            }
            if (error != ECONNREFUSED)
                break;
            reason = REASON_REFUSED;
        }
    }
    freeaddrinfo(found);
    return reason;
}

Reason ConnectionReason(const std::string& printed) {
    // Every refusal of the logon itself is a logon failure to the caller.
    for (const char* refusal : {"NT_STATUS_LOGON_FAILURE", "NT_STATUS_WRONG_PASSWORD",
                                "NT_STATUS_NO_SUCH_USER", "NT_STATUS_ACCOUNT_DISABLED",
                                "NT_STATUS_ACCOUNT_LOCKED_OUT", "NT_STATUS_PASSWORD_EXPIRED"})
        if (printed.find(refusal) != std::string::npos)
            return REASON_LOGON_FAILURE;
    if (printed.find("NT_STATUS_ACCESS_DENIED") != std::string::npos)
        return REASON_ACCESS_DENIED;
    if (printed.find("NT_STATUS_CONNECTION_REFUSED") != std::string::npos)
        return REASON_REFUSED;
    return REASON_NONE;
}

} // namespace ZymWindows::NetHelper
