#include "impersonation/LogonNotes.h"

namespace zymwin {

const char* const LOGON_NOTES =
    "'.' as DOMAIN means this computer's own accounts. The logon is a service\n"
    "logon, so the account needs the right to log on as a service. The ids\n"
    "printed are the relative ids of this computer's accounts.\n";

} // namespace zymwin
