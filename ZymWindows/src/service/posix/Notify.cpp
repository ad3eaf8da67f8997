#include "Notify.h"

#include <Zym/Handle.h>
#include <Zym/LastError.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace ZymWindows::Platform {

namespace {

const char* NotifySocket() {
    const char* path = std::getenv("NOTIFY_SOCKET");
    return path && *path ? path : nullptr;
}

} // namespace

bool HasNotifySocket() {
    return NotifySocket() != nullptr;
}

unsigned long Notify(const std::string& lines) {
    const char* path = NotifySocket();
    if (!path) {
        Zym::SetLastError(Zym::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        return Zym::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(path);
    if ((path[0] != '/' && path[0] != '@') || length >= sizeof address.sun_path) {
        Zym::SetLastError(Zym::ERROR_INVALID_PARAMETER);
        return Zym::ERROR_INVALID_PARAMETER;
    }
    std::memcpy(address.sun_path, path, length);
    // "@name" is the abstract name "\0name", whose length counts exactly.
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    const auto addressLength =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (path[0] == '/' ? 1 : 0));

    const Zym::Handle socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.IsValid())
        return Zym::SetLastErrorFromErrno(errno);
    while (::sendto(socket.Get(), lines.data(), lines.size(), MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), addressLength) < 0) {
        if (errno != EINTR)
            return Zym::SetLastErrorFromErrno(errno);
    }
    return 0;
}

} // namespace ZymWindows::Platform
