#include "eventlog/EventLogDestination.h"

namespace zymwin {

const char* const EVENTLOG_DESTINATION =
    "Records go to the systemd journal ($ZYM_JOURNAL_SOCKET, default\n"
    "/run/systemd/journal/socket), or to syslog ($ZYM_SYSLOG_SOCKET, default\n"
    "/dev/log) without a journal.\n";

} // namespace zymwin
