#pragma once

#include <string>

namespace Zym {

// Win32 error numbers are the error vocabulary on every platform.
enum Win32Error : unsigned long {
    ERROR_SUCCESS = 0,
    ERROR_INVALID_FUNCTION = 1,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_INVALID_DATA = 13,
    ERROR_OUTOFMEMORY = 14,
    ERROR_NOT_READY = 21,
    ERROR_WRITE_FAULT = 29,
    ERROR_READ_FAULT = 30,
    ERROR_GEN_FAILURE = 31,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_HANDLE_EOF = 38,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_BAD_NETPATH = 53,
    ERROR_NETNAME_DELETED = 64,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_BROKEN_PIPE = 109,
    ERROR_DISK_FULL = 112,
    ERROR_CALL_NOT_IMPLEMENTED = 120,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_INVALID_NAME = 123,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_BAD_PATHNAME = 161,
    ERROR_BUSY = 170,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_BAD_PIPE = 230,
    ERROR_PIPE_BUSY = 231,
    ERROR_NO_DATA = 232,
    ERROR_PIPE_NOT_CONNECTED = 233,
    ERROR_MORE_DATA = 234,
    WAIT_TIMEOUT = 258,
    ERROR_NO_MORE_ITEMS = 259,
    ERROR_DIRECTORY = 267,
    ERROR_NOT_OWNER = 288,
    ERROR_PARTIAL_COPY = 299,
    ERROR_ARITHMETIC_OVERFLOW = 534,
    ERROR_PIPE_CONNECTED = 535,
    ERROR_PIPE_LISTENING = 536,
    ERROR_OPERATION_ABORTED = 995,
    ERROR_IO_INCOMPLETE = 996,
    ERROR_IO_PENDING = 997,
    ERROR_NOACCESS = 998,
    ERROR_CANTOPEN = 1011,
    ERROR_CANTREAD = 1012,
    ERROR_CANTWRITE = 1013,
    ERROR_REGISTRY_CORRUPT = 1015,
    ERROR_REGISTRY_IO_FAILED = 1016,
    ERROR_KEY_DELETED = 1018,
    ERROR_INVALID_SERVICE_CONTROL = 1052,
    ERROR_SERVICE_REQUEST_TIMEOUT = 1053,
    ERROR_SERVICE_ALREADY_RUNNING = 1056,
    ERROR_SERVICE_DISABLED = 1058,
    ERROR_SERVICE_DOES_NOT_EXIST = 1060,
    ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061,
    ERROR_SERVICE_NOT_ACTIVE = 1062,
    ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063,
    ERROR_SERVICE_MARKED_FOR_DELETE = 1072,
    ERROR_SERVICE_EXISTS = 1073,
    ERROR_SERVICE_NOT_IN_EXE = 1083,
    ERROR_INVALID_THREAD_ID = 1444,
    ERROR_NOT_ENOUGH_QUOTA = 1816,
    ERROR_NOT_ALL_ASSIGNED = 1300,
    ERROR_NONE_MAPPED = 1332,
    ERROR_PRIVILEGE_NOT_HELD = 1314,
    ERROR_NO_SUCH_PRIVILEGE = 1313,
    ERROR_LOGON_FAILURE = 1326,
    ERROR_NO_SUCH_DOMAIN = 1355,
    ERROR_NO_SUCH_ALIAS = 1376,
    ERROR_NO_SUCH_USER = 1317,
    ERROR_NO_SUCH_GROUP = 1319,
    ERROR_NO_LOGON_SERVERS = 1311,
    ERROR_BAD_IMPERSONATION_LEVEL = 1346,
    ERROR_TIMEOUT = 1460,
    RPC_S_SERVER_UNAVAILABLE = 1722,
    NERR_UserNotFound = 2221,
    NERR_GroupNotFound = 2220,
    NERR_DCNotFound = 2453,
};

// Bit 29 marks application-defined codes; an errno that has no Win32
// equivalent travels as this bit plus the errno value and keeps its own text.
constexpr unsigned long ERRNO_CODE_FLAG = 0x20000000UL;

// The calling thread's last error.
unsigned long GetLastError() noexcept;
void SetLastError(unsigned long code) noexcept;

// The Windows English system text of `code`; 0 means the calling thread's
// last error.
std::u16string GetLastErrorMessage(unsigned long code);

// The nearest Win32 code for an errno value (ERRNO_CODE_FLAG | err if none).
unsigned long Win32ErrorFromErrno(int err) noexcept;
// Sets the calling thread's last error from an errno value and returns it.
unsigned long SetLastErrorFromErrno(int err) noexcept;

} // namespace Zym
