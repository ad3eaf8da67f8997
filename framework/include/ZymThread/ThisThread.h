#pragma once

#include <Zym/Export.h>

#include <string_view>

namespace ZymThread::ThisThread {

// The thread whose privileges EnablePrivilege changed.
struct ZYM_EXPORT PrivilegeToken {
    long threadId = 0;
};

// What RestorePrivilege puts back: the capability that EnablePrivilege
// raised, if any, and whether it was raised before.
struct ZYM_EXPORT PrivilegeState {
    int capability = -1;
    bool wasEnabled = false;
};

// Enables a Windows privilege, named as Windows names it ("SeDebugPrivilege",
// any letter case), for the calling thread only, through the Linux
// capability that grants the same power (SeDebugPrivilege: CAP_SYS_PTRACE,
// SeBackupPrivilege: CAP_DAC_READ_SEARCH, ...). Privileges that every
// Linux process has anyway (SeChangeNotifyPrivilege, ...) count as enabled.
// Returns whether the privilege is now enabled; when not, the last error
// says why: 1313 for a name without a Linux counterpart, 1300 when the
// thread may not raise the capability.
ZYM_EXPORT bool EnablePrivilege(std::u16string_view name, PrivilegeToken& token,
                                PrivilegeState& previous);

// Puts back what EnablePrivilege changed, on the same thread. False with
// the last error set on failure (1444 on another thread).
ZYM_EXPORT bool RestorePrivilege(PrivilegeToken& token, const PrivilegeState& previous);

} // namespace ZymThread::ThisThread
