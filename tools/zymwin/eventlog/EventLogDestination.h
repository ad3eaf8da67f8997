#pragma once

namespace zymwin {

// What `zymwin eventlog --help` says of where the records go.
extern const char* const EVENTLOG_DESTINATION;

} // namespace zymwin
