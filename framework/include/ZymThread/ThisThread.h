#pragma once

#include <Zym/Export.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace ZymThread::ThisThread {

// The thread whose privileges EnablePrivilege changed.
struct ZYM_EXPORT PrivilegeToken {
    long threadId = 0;
};

// One privilege as it stood before EnablePrivilege changed it: the system's
// number for it (a privilege's LUID on Windows, a capability's number on
// Linux) and whether it was enabled.
struct ZYM_EXPORT PrivilegeSetting {
    std::uint64_t privilege = 0;
    bool enabled = false;
};

// What RestorePrivilege puts back: the former state of every privilege that
// EnablePrivilege changed, as the system reported it; empty when it changed
// nothing.
struct ZYM_EXPORT PrivilegeState {
    std::vector<PrivilegeSetting> changed;
};

// Enables a Windows privilege, named as Windows names it ("SeDebugPrivilege",
// any letter case), for the calling thread only. On Windows a thread that
// impersonates nobody is first given a copy of the process's token, so the
// change stays with the thread. On Linux the privilege is the capability
// that grants the same power (SeDebugPrivilege: CAP_SYS_PTRACE,
// SeBackupPrivilege: CAP_DAC_READ_SEARCH, ...), and privileges that every
// Linux process has anyway (SeChangeNotifyPrivilege, ...) count as enabled.
// Returns whether the privilege is now enabled; when not, the last error
// says why: 1313 for an unknown name (on Linux also one without a Linux
// counterpart), 1300 when the thread may not enable it.
ZYM_EXPORT bool EnablePrivilege(std::u16string_view name, PrivilegeToken& token,
                                PrivilegeState& previous);

// Puts back what EnablePrivilege changed, on the same thread. False with
// the last error set on failure (1444 on another thread).
ZYM_EXPORT bool RestorePrivilege(PrivilegeToken& token, const PrivilegeState& previous);

} // namespace ZymThread::ThisThread
