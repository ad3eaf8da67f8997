#pragma once

#include <cerrno>
#include <cstddef>
#include <sys/socket.h>

namespace ZymWindows::Platform {

// Sends all of `data`, without SIGPIPE; async-signal-safe.
inline bool SendAll(int socket, const void* data, std::size_t size) noexcept {
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

} // namespace ZymWindows::Platform
