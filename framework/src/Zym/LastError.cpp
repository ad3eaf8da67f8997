#include "Zym/LastError.h"

#include "ErrorText.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace Zym {

namespace {

struct SystemText {
    unsigned long code;
    std::u16string_view text;
};

// Windows English system texts, without the trailing CR LF, by ascending
// code. A constant table: threads that outlive main may still format errors
// while static objects are destroyed.
constexpr SystemText SYSTEM_TEXTS[] = {
    {0, u"The operation completed successfully."},
    {1, u"Incorrect function."},
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {4, u"The system cannot open the file."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {8, u"Not enough memory resources are available to process this command."},
    {13, u"The data is invalid."},
    {14, u"Not enough memory resources are available to complete this operation."},
    {17, u"The system cannot move the file to a different disk drive."},
    {19, u"The media is write protected."},
    {21, u"The device is not ready."},
    {29, u"The system cannot write to the specified device."},
    {30, u"The system cannot read from the specified device."},
    {31, u"A device attached to the system is not functioning."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {38, u"Reached the end of the file."},
    {50, u"The request is not supported."},
    {53, u"The network path was not found."},
    {64, u"The specified network name is no longer available."},
    {80, u"The file exists."},
    {87, u"The parameter is incorrect."},
    {109, u"The pipe has been ended."},
    {112, u"There is not enough space on the disk."},
    {120, u"This function is not supported on this system."},
    {122, u"The data area passed to a system call is too small."},
    {123, u"The filename, directory name, or volume label syntax is incorrect."},
    {145, u"The directory is not empty."},
    {161, u"The specified path is invalid."},
    {170, u"The requested resource is in use."},
    {183, u"Cannot create a file when that file already exists."},
    {206, u"The filename or extension is too long."},
    {230, u"The pipe state is invalid."},
    {231, u"All pipe instances are busy."},
    {232, u"The pipe is being closed."},
    {233, u"No process is on the other end of the pipe."},
    {234, u"More data is available."},
    {258, u"The wait operation timed out."},
    {259, u"No more data is available."},
    {267, u"The directory name is invalid."},
    {288, u"Attempt to release mutex not owned by caller."},
    {299, u"Only part of a ReadProcessMemory or WriteProcessMemory request was completed."},
    {534, u"Arithmetic result exceeded 32 bits."},
    {535, u"There is a process on other end of the pipe."},
    {536, u"Waiting for a process to open the other end of the pipe."},
    {995, u"The I/O operation has been aborted because of either a thread exit or an "
          u"application request."},
    {996, u"Overlapped I/O event is not in a signaled state."},
    {997, u"Overlapped I/O operation is in progress."},
    {998, u"Invalid access to memory location."},
    {1003, u"Cannot complete this function."},
    {1011, u"The configuration registry key could not be opened."},
    {1012, u"The configuration registry key could not be read."},
    {1013, u"The configuration registry key could not be written."},
    {1015, u"The registry is corrupted. The structure of one of the files containing registry "
           u"data is corrupted, or the system's memory image of the file is corrupted, or the "
           u"file could not be recovered because the alternate copy or log was absent or "
           u"corrupted."},
    {1016, u"An I/O operation initiated by the registry failed unrecoverably. The registry "
           u"could not read in, or write out, or flush, one of the files that contain the "
           u"system's image of the registry."},
    {1018, u"Illegal operation attempted on a registry key that has been marked for "
           u"deletion."},
    {1052, u"The requested control is not valid for this service."},
    {1053, u"The service did not respond to the start or control request in a timely "
           u"fashion."},
    {1056, u"An instance of the service is already running."},
    {1058, u"The service cannot be started, either because it is disabled or because it has "
           u"no enabled devices associated with it."},
    {1060, u"The specified service does not exist as an installed service."},
    {1061, u"The service cannot accept control messages at this time."},
    {1062, u"The service has not been started."},
    {1063, u"The service process could not connect to the service controller."},
    {1072, u"The specified service has been marked for deletion."},
    {1073, u"The specified service already exists."},
    {1083, u"The executable program that this service is configured to run in does not "
           u"implement the service."},
    {1131, u"A potential deadlock condition has been detected."},
    {1231, u"The network location cannot be reached. For information about network "
           u"troubleshooting, see Windows Help."},
    {1300, u"Not all privileges or groups referenced are assigned to the caller."},
    {1301, u"Some mapping between account names and security IDs was not done."},
    {1311, u"There are currently no logon servers available to service the logon request."},
    {1313, u"A specified privilege does not exist."},
    {1314, u"A required privilege is not held by the client."},
    {1317, u"The specified account does not exist."},
    {1319, u"The specified group does not exist."},
    {1326, u"The user name or password is incorrect."},
    {1332, u"No mapping between account names and security IDs was done."},
    {1346, u"Either a required impersonation level was not provided, or the provided "
           u"impersonation level is invalid."},
    {1355, u"The specified domain either does not exist or could not be contacted."},
    {1376, u"The specified local group does not exist."},
    {1385, u"Logon failure: the user has not been granted the requested logon type at this "
           u"computer."},
    {1444, u"Invalid thread identifier."},
    {1450, u"Insufficient system resources exist to complete the requested service."},
    {1460, u"This operation returned because the timeout period expired."},
    {1722, u"The RPC server is unavailable."},
    {1793, u"The user's account has expired."},
    {1816, u"Not enough quota is available to process this command."},
    {1907, u"The user's password must be changed before signing in."},
    {2220, u"The group name could not be found."},
    {2221, u"The user name could not be found."},
    {2351, u"This computer name is invalid."},
    {2453, u"Could not find domain controller for this domain."},
    {6118, u"The list of servers for this workgroup is not currently available"},
};

constexpr bool AscendingCodes() {
    for (std::size_t i = 1; i < std::size(SYSTEM_TEXTS); ++i)
        if (SYSTEM_TEXTS[i - 1].code >= SYSTEM_TEXTS[i].code)
            return false;
    return true;
}
static_assert(AscendingCodes(), "the system texts are searched by ascending code");

} // namespace

std::u16string GetLastErrorMessage(unsigned long code) {
    if (code == 0)
        code = GetLastError();
    const auto found = std::lower_bound(
        std::begin(SYSTEM_TEXTS), std::end(SYSTEM_TEXTS), code,
        [](const SystemText& entry, unsigned long wanted) { return entry.code < wanted; });
    if (found != std::end(SYSTEM_TEXTS) && found->code == code)
        return std::u16string(found->text);
    return Platform::UnlistedErrorText(code);
}

} // namespace Zym
