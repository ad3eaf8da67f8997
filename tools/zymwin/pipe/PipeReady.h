#pragma once

#include <string>

namespace zymwin {

// The directory that holds the pipes' sockets: $ZYM_PIPE_DIR, else
// /tmp/.zym-pipe.
std::string PipeDirectory();

// Waits a few seconds at most until the socket of the local pipe `name`
// exists, which is when a starting server can take clients.
bool WaitUntilPipeExists(const std::string& name);

} // namespace zymwin
