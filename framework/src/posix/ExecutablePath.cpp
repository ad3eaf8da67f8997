#include "Zym/ExecutablePath.h"

#include "Zym/LastError.h"

#include <cerrno>
#include <string_view>
#include <unistd.h>

namespace Zym {

bool GetExecutablePath(std::string& path) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    // The kernel marks a file that is gone; its old path names nothing.
    constexpr std::string_view deleted = " (deleted)";
    if (buffer.size() > deleted.size() && buffer.ends_with(deleted) &&
        ::access(buffer.c_str(), F_OK) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    path = std::move(buffer);
    return true;
}

} // namespace Zym
