#pragma once

#include <string>

namespace ZymWindows::Platform {

// Where pipes live: $ZYM_PIPE_DIR, else /tmp/.zym-pipe.
std::string PipeDirectory();

// The socket file of the pipe `path` ("\\HOST\pipe\NAME"), which must name
// this machine. Returns ERROR_SUCCESS, or ERROR_BAD_NETPATH for another
// host, ERROR_INVALID_NAME for a malformed path or a name that is not a
// plain file name, ERROR_FILENAME_EXCED_RANGE when the socket path would be
// too long.
unsigned long SocketPathOf(const std::string& path, std::string& socketPath);

} // namespace ZymWindows::Platform
