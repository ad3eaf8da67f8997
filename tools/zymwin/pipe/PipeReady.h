#pragma once

#include <string>

namespace zymwin {

// Where the local pipes live: on Linux the directory of their sockets,
// $ZYM_PIPE_DIR, else /tmp/.zym-pipe; on Windows the system's pipe
// namespace.
std::string PipeDirectory();

// Waits a few seconds at most until the local pipe `name` exists, which is
// when a starting server can take clients.
bool WaitUntilPipeExists(const std::string& name);

} // namespace zymwin
