#include "service/ServiceUsage.h"

namespace zymwin {

const char* const SERVICE_USAGE =
    "Usage: zymwin service install NAME [--display TEXT] [--depends A,B] [--log FILE]\n"
    "       zymwin service uninstall NAME\n"
    "       zymwin service run NAME [--log FILE]\n"
    "       zymwin service console NAME\n"
    "       zymwin service type [PID]\n\n"
    "The example service of the ZymWindows service framework, under the service\n"
    "control manager.\n\n"
    "  install    register the demand-started service NAME, which runs\n"
    "             'zymwin.exe service run NAME' from this program's location (an\n"
    "             existing registration is removed first)\n"
    "  uninstall  ask a running NAME to stop (without waiting) and delete it; a service\n"
    "             that is not installed is no error\n"
    "  run        the example service, as the manager starts it: it logs a line every\n"
    "             few seconds to stderr (or FILE) and accepts stop, pause, continue and\n"
    "             shutdown\n"
    "  console    the same service on this console, without a manager; Ctrl-C stops it\n"
    "  type       how process PID (default: this one) was started: SERVICE_PROCESS,\n"
    "             INTERACTIVE_PROCESS or OTHER_PROCESS\n\n"
    "Options of install:\n"
    "  --display TEXT  the service's display name (default 'ZymWindows example service')\n"
    "  --depends A,B   services that must run first\n"
    "  --log FILE      the service appends its log to FILE (a service has no console)\n";

} // namespace zymwin
