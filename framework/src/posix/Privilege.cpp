#include "ZymThread/ThisThread.h"

#include "Zym/LastError.h"
#include "Zym/NoCase.h"

#include <cerrno>
#include <cstdint>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ZymThread::ThisThread {

namespace {

// A capability that every process has without asking.
constexpr int ALWAYS_HELD = -2;

struct PrivilegeMapping {
    std::u16string_view name;
    int capability;
};

// Each Windows privilege and the Linux capability that grants the same power.
constexpr PrivilegeMapping PRIVILEGES[] = {
    {u"SeDebugPrivilege", CAP_SYS_PTRACE},
    {u"SeBackupPrivilege", CAP_DAC_READ_SEARCH},
    {u"SeRestorePrivilege", CAP_DAC_OVERRIDE},
    {u"SeTakeOwnershipPrivilege", CAP_CHOWN},
    {u"SeSecurityPrivilege", CAP_AUDIT_CONTROL},
    {u"SeAuditPrivilege", CAP_AUDIT_WRITE},
    {u"SeShutdownPrivilege", CAP_SYS_BOOT},
    {u"SeRemoteShutdownPrivilege", CAP_SYS_BOOT},
    {u"SeSystemtimePrivilege", CAP_SYS_TIME},
    {u"SeTimeZonePrivilege", CAP_SYS_TIME},
    {u"SeLoadDriverPrivilege", CAP_SYS_MODULE},
    {u"SeIncreaseBasePriorityPrivilege", CAP_SYS_NICE},
    {u"SeIncreaseQuotaPrivilege", CAP_SYS_RESOURCE},
    {u"SeLockMemoryPrivilege", CAP_IPC_LOCK},
    {u"SeTcbPrivilege", CAP_SYS_ADMIN},
    {u"SeManageVolumePrivilege", CAP_SYS_ADMIN},
    {u"SeCreatePagefilePrivilege", CAP_SYS_ADMIN},
    {u"SeSystemEnvironmentPrivilege", CAP_SYS_ADMIN},
    {u"SeAssignPrimaryTokenPrivilege", CAP_SETUID},
    {u"SeImpersonatePrivilege", CAP_SETUID},
    {u"SeRelabelPrivilege", CAP_MAC_ADMIN},
    {u"SeChangeNotifyPrivilege", ALWAYS_HELD},
    {u"SeCreateSymbolicLinkPrivilege", ALWAYS_HELD},
    {u"SeCreateGlobalPrivilege", ALWAYS_HELD},
    {u"SeIncreaseWorkingSetPrivilege", ALWAYS_HELD},
};

const PrivilegeMapping* FindPrivilege(std::u16string_view name) {
    for (const auto& mapping : PRIVILEGES)
        if (Zym::WNoCase::IsEqual(mapping.name, name))
            return &mapping;
    return nullptr;
}

// The calling thread's capability sets. The raw system calls act on the
// calling thread alone, where libc wrappers may act on every thread.
struct CapabilitySets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};

    bool Read() {
        if (::syscall(SYS_capget, &header, data) == 0)
            return true;
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    bool Write() {
        if (::syscall(SYS_capset, &header, data) == 0)
            return true;
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    static std::uint32_t Bit(int capability) { return 1U << (capability % 32); }
    bool Permitted(int capability) const {
        return data[capability / 32].permitted & Bit(capability);
    }
    bool Effective(int capability) const {
        return data[capability / 32].effective & Bit(capability);
    }
    void SetEffective(int capability, bool on) {
        auto& effective = data[capability / 32].effective;
        effective = on ? effective | Bit(capability) : effective & ~Bit(capability);
    }
};

long SystemThreadId() {
    return static_cast<long>(::syscall(SYS_gettid));
}

} // namespace

bool EnablePrivilege(std::u16string_view name, PrivilegeToken& token, PrivilegeState& previous) {
    token.threadId = SystemThreadId();
    previous.changed.clear();
    const PrivilegeMapping* mapping = FindPrivilege(name);
    if (mapping == nullptr) {
        Zym::SetLastError(Zym::ERROR_NO_SUCH_PRIVILEGE);
        return false;
    }
    if (mapping->capability == ALWAYS_HELD) {
        Zym::SetLastError(Zym::ERROR_SUCCESS);
        return true;
    }
    CapabilitySets sets;
    if (!sets.Read())
        return false;
    if (!sets.Permitted(mapping->capability)) {
        Zym::SetLastError(Zym::ERROR_NOT_ALL_ASSIGNED);
        return false;
    }
    if (!sets.Effective(mapping->capability)) {
        sets.SetEffective(mapping->capability, true);
        if (!sets.Write())
            return false;
        previous.changed.push_back({static_cast<std::uint64_t>(mapping->capability), false});
    }
    Zym::SetLastError(Zym::ERROR_SUCCESS);
    return true;
}

bool RestorePrivilege(PrivilegeToken& token, const PrivilegeState& previous) {
    if (token.threadId != SystemThreadId()) {
        Zym::SetLastError(Zym::ERROR_INVALID_THREAD_ID);
        return false;
    }
    if (previous.changed.empty())
        return true;
    CapabilitySets sets;
    if (!sets.Read())
        return false;
    for (const PrivilegeSetting& setting : previous.changed) {
        if (setting.privilege > CAP_LAST_CAP) {
            Zym::SetLastError(Zym::ERROR_INVALID_PARAMETER);
            return false;
        }
        sets.SetEffective(static_cast<int>(setting.privilege), setting.enabled);
    }
    return sets.Write();
}

} // namespace ZymThread::ThisThread
