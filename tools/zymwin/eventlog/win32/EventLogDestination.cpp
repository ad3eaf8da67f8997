#include "eventlog/EventLogDestination.h"

namespace zymwin {

const char* const EVENTLOG_DESTINATION =
    "Records go to this computer's event log, in the Application log unless\n"
    "SOURCE is registered with another; Event Viewer shows them.\n";

} // namespace zymwin
