#include "ServiceStatus.h"

#include "Notify.h"
#include "service/ServicePlatform.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

const char* StateName(unsigned long state) {
    switch (state) {
    case SERVICE_STOPPED:
        return "stopped";
    case SERVICE_START_PENDING:
        return "start pending";
    case SERVICE_STOP_PENDING:
        return "stop pending";
    case SERVICE_RUNNING:
        return "running";
    case SERVICE_CONTINUE_PENDING:
        return "continue pending";
    case SERVICE_PAUSE_PENDING:
        return "pause pending";
    case SERVICE_PAUSED:
        return "paused";
    default:
        return "unknown";
    }
}

// Under the status lock. A report also tells the manager, with the first
// "running", that start-up is over, and with "stop pending" that the
// service is going down.
unsigned long SendStatus(ServiceStatusTarget& status, bool report) {
    const unsigned long state = status.last.dwCurrentState;
    std::string lines = std::string("STATUS=") + StateName(state) + "\n";
    if (report && state == SERVICE_RUNNING && !status.readySent) {
        lines += "READY=1\n";
        status.readySent = true;
    }
    if (report && state == SERVICE_STOP_PENDING)
        lines += "STOPPING=1\n";
    return Notify(lines);
}

} // namespace

void WakeUp(int eventDescriptor) noexcept {
    const std::uint64_t one = 1;
    while (::write(eventDescriptor, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

unsigned long ReportServiceStatus(SERVICE_STATUS_HANDLE status, const SERVICE_STATUS& report) {
    if (!status) {
        Zym::SetLastError(Zym::ERROR_INVALID_HANDLE);
        return Zym::ERROR_INVALID_HANDLE;
    }
    std::lock_guard guard(status->lock);
    status->last = report;
    const unsigned long error = SendStatus(*status, true);
    status->reported = true;
    WakeUp(status->wake);
    return error;
}

unsigned long ResendServiceStatus(ServiceStatusTarget& status) {
    std::lock_guard guard(status.lock);
    return SendStatus(status, false);
}

} // namespace ZymWindows::Platform
