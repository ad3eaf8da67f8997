#include "ThreadIdentity.h"

#include "DumpableFlag.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <linux/capability.h>
#include <optional>
#include <sys/syscall.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// On 32-bit platforms the plain names are the old calls with 16-bit ids.
#ifdef SYS_setresuid32
constexpr long SETRESUID = SYS_setresuid32, SETRESGID = SYS_setresgid32,
               GETRESUID = SYS_getresuid32, GETRESGID = SYS_getresgid32,
               SETGROUPS = SYS_setgroups32, GETGROUPS = SYS_getgroups32;
#else
constexpr long SETRESUID = SYS_setresuid, SETRESGID = SYS_setresgid, GETRESUID = SYS_getresuid,
               GETRESGID = SYS_getresgid, SETGROUPS = SYS_setgroups, GETGROUPS = SYS_getgroups;
#endif

constexpr uid_t UNCHANGED_UID = static_cast<uid_t>(-1);
constexpr gid_t UNCHANGED_GID = static_cast<gid_t>(-1);

// The ids the thread had before its first impersonation; empty while it is
// not impersonating.
thread_local std::optional<ThreadIds> t_Own;

unsigned long ErrorOf(int err) noexcept {
    // The kernel refuses an id change to a thread without the capability.
    if (err == EPERM) {
        Zym::SetLastError(Zym::ERROR_PRIVILEGE_NOT_HELD);
        return Zym::ERROR_PRIVILEGE_NOT_HELD;
    }
    return Zym::SetLastErrorFromErrno(err);
}

unsigned long SetEffectiveUid(uid_t uid) noexcept {
    if (::syscall(SETRESUID, UNCHANGED_UID, uid, UNCHANGED_UID) != 0)
        return ErrorOf(errno);
    return Zym::ERROR_SUCCESS;
}

// Moves the thread to `target`. The effective uid goes back to the thread's
// own first, since that is what holds the right to change groups, and is
// set last; a failure stops at the step that failed.
unsigned long Apply(const ThreadIds& target, uid_t ownUid) noexcept {
    if (const unsigned long error = SetEffectiveUid(ownUid); error != Zym::ERROR_SUCCESS)
        return error;
    if (::syscall(SETGROUPS, target.groups.size(), target.groups.data()) != 0)
        return ErrorOf(errno);
    if (::syscall(SETRESGID, UNCHANGED_GID, target.gid, UNCHANGED_GID) != 0)
        return ErrorOf(errno);
    return SetEffectiveUid(target.uid);
}

// A thread that cannot get back to ids it held a moment ago must not run on
// with a mixture of two accounts.
[[noreturn]] void Abandon(const char* what) noexcept {
    std::fprintf(stderr, "ZymWindows: cannot %s (error %lu)\n", what, Zym::GetLastError());
    std::abort();
}

} // namespace

unsigned long ReadThreadIds(ThreadIds& ids) {
    const long count = ::syscall(GETGROUPS, 0, nullptr);
    if (count < 0)
        return Zym::SetLastErrorFromErrno(errno);
    ids.groups.resize(static_cast<std::size_t>(count));
    const long read = ::syscall(GETGROUPS, count, ids.groups.data());
    if (read < 0)
        return Zym::SetLastErrorFromErrno(errno);
    ids.groups.resize(static_cast<std::size_t>(read));
    uid_t realUid = 0, savedUid = 0;
    gid_t realGid = 0, savedGid = 0;
    if (::syscall(GETRESUID, &realUid, &ids.uid, &savedUid) != 0 ||
        ::syscall(GETRESGID, &realGid, &ids.gid, &savedGid) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    return Zym::ERROR_SUCCESS;
}

bool MayChangeIds() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    const auto effective = [&](int capability) {
        return (data[capability / 32].effective & (1U << (capability % 32))) != 0;
    };
    return effective(CAP_SETUID) && effective(CAP_SETGID);
}

unsigned long TakeOnIds(const ThreadIds& account) {
    ThreadIds current;
    if (const unsigned long error = ReadThreadIds(current); error != Zym::ERROR_SUCCESS)
        return error;
    const bool first = !t_Own;
    const uid_t ownUid = first ? current.uid : t_Own->uid;
    if (first)
        DumpableFlag::Hold();
    if (const unsigned long error = Apply(account, ownUid); error != Zym::ERROR_SUCCESS) {
        if (Apply(current, ownUid) != Zym::ERROR_SUCCESS)
            Abandon("undo a half-done change of identity");
        if (first)
            DumpableFlag::Release();
        Zym::SetLastError(error);
        return error;
    }
    if (first)
        t_Own = std::move(current);
    return Zym::ERROR_SUCCESS;
}

void ReturnToOwnIds() noexcept {
    if (!t_Own)
        return;
    if (Apply(*t_Own, t_Own->uid) != Zym::ERROR_SUCCESS)
        Abandon("return to the thread's own identity");
    t_Own.reset();
    DumpableFlag::Release();
}

OwnIdsScope::OwnIdsScope() {
    if (!t_Own)
        return;
    if ((m_Error = ReadThreadIds(m_Impersonated)) != Zym::ERROR_SUCCESS)
        return;
    if ((m_Error = Apply(*t_Own, t_Own->uid)) != Zym::ERROR_SUCCESS) {
        if (Apply(m_Impersonated, t_Own->uid) != Zym::ERROR_SUCCESS)
            Abandon("undo a half-done change of identity");
        return;
    }
    m_Stepped = true;
}

OwnIdsScope::~OwnIdsScope() {
    if (m_Stepped && Apply(m_Impersonated, t_Own->uid) != Zym::ERROR_SUCCESS)
        Abandon("take up the impersonation again");
}

} // namespace ZymWindows::Platform
