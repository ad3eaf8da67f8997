#include "service/ServiceUsage.h"

namespace zymwin {

const char* const SERVICE_USAGE =
    "Usage: zymwin service install NAME [--display TEXT] [--depends A,B] [--log FILE]\n"
    "       zymwin service uninstall NAME\n"
    "       zymwin service run NAME [--log FILE]\n"
    "       zymwin service console NAME\n"
    "       zymwin service type [PID]\n\n"
    "The example service of the ZymWindows service framework, under systemd.\n\n"
    "  install    write the unit NAME.service, which starts 'zymwin service run NAME'\n"
    "             from this program's location, and reload the manager (an existing\n"
    "             registration is removed first)\n"
    "  uninstall  ask an active NAME.service to stop (without waiting), remove its unit\n"
    "             and reload the manager; a service that is not installed is no error\n"
    "  run        the example service under the manager: it logs a line every few\n"
    "             seconds to stderr (or FILE) and obeys SIGTERM (stop), SIGUSR1 (pause),\n"
    "             SIGUSR2\n"
    "             (continue), SIGHUP (report the status again) and SIGPWR (shutdown)\n"
    "  console    the same service on this terminal, without a manager; Ctrl-C stops it\n"
    "  type       how process PID (default: this one) was started: SERVICE_PROCESS,\n"
    "             INTERACTIVE_PROCESS or OTHER_PROCESS\n\n"
    "Options of install:\n"
    "  --display TEXT  the service's description (default 'ZymWindows example service')\n"
    "  --depends A,B   services that must run first (Requires= and After=)\n"
    "  --log FILE      the service appends its log to FILE instead of stderr\n\n"
    "Units go to $ZYM_SERVICE_DIR (default /etc/systemd/system); the manager is driven\n"
    "through $ZYM_SYSTEMCTL (default systemctl).\n";

} // namespace zymwin
