#include "Zym/LastError.h"

#include <cerrno>

namespace Zym {

// errno values, from the system or the C runtime, that have a Win32 code of
// their own.
unsigned long Win32ErrorFromErrno(int err) noexcept {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ECONNREFUSED: // a socket file with nobody listening: nothing to open
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:
        return 17;
    case EROFS:
        return 19;
    case EIO:
        return ERROR_GEN_FAILURE;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EPIPE:
    case ECONNRESET:
        return ERROR_BROKEN_PIPE;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENOSYS:
        return ERROR_CALL_NOT_IMPLEMENTED;
    case ERANGE:
        return ERROR_INSUFFICIENT_BUFFER;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
        return ERROR_BUSY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOTCONN:
        return ERROR_PIPE_NOT_CONNECTED;
    case ECANCELED:
        return ERROR_OPERATION_ABORTED;
    case ETIMEDOUT:
        return ERROR_TIMEOUT;
    case EHOSTUNREACH:
    case ENETUNREACH:
        return 1231;
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
