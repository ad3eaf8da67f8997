#include "Zym/LastError.h"

#include <cerrno>

namespace Zym {

// The C runtime's errno values that have a Win32 code of their own.
unsigned long Win32ErrorFromErrno(int err) noexcept {
    switch (err) {
    case 0:
        return 0;
    case ENOENT:
        return 2;
    case EMFILE:
        return 4;
    case EACCES:
    case EPERM:
        return 5;
    case EBADF:
        return 6;
    case ENOMEM:
        return 8;
    case EEXIST:
        return 80;
    case EINVAL:
        return 87;
    case EPIPE:
        return 109;
    case ENOSPC:
        return 112;
    case ENAMETOOLONG:
        return 206;
    case ENOTEMPTY:
        return 145;
    default:
        return ERRNO_CODE_FLAG | static_cast<unsigned long>(err);
    }
}

unsigned long SetLastErrorFromErrno(int err) noexcept {
    const unsigned long code = Win32ErrorFromErrno(err);
    SetLastError(code);
    return code;
}

} // namespace Zym
