#include "impersonation/LogonNotes.h"

namespace zymwin {

const char* const LOGON_NOTES =
    "An empty DOMAIN, '.' or this computer's name means a local account; any\n"
    "other is passed on as USER@DOMAIN. The logon goes through the PAM service\n"
    "'zymwindows' (/etc/pam.d/zymwindows); acting as another account needs root\n"
    "(CAP_SETUID and CAP_SETGID).\n";

} // namespace zymwin
