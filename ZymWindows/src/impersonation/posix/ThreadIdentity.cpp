#include "ThreadIdentity.h"

#include "DumpableFlag.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <linux/capability.h>
#include <optional>
#include <sys/syscall.h>
#include <thread>
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

// A thread that cannot get back to ids it held a moment ago must neither go
// on as the wrong account (or a mixture of two) nor take the whole process
// down: it tries again, with growing pauses, and does nothing else until it
// succeeds. A thread may always return to its real and saved ids, so what
// fails here is passing (the kernel short of memory); a failure that lasts
// means something outside took the thread's capabilities away, and then the
// thread waits for good rather than run as somebody else.
template <class Step> void Insist(const char* what, Step step) noexcept {
    constexpr auto LONGEST_PAUSE = std::chrono::seconds(1);
    std::chrono::milliseconds pause(1);
    for (bool first = true; step() != Zym::ERROR_SUCCESS; first = false) {
        if (first)
            std::fprintf(stderr, "ZymWindows: cannot %s (error %lu); trying again\n", what,
                         Zym::GetLastError());
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::milliseconds>(pause * 2, LONGEST_PAUSE);
    }
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
        Insist("undo a half-done change of identity", [&] { return Apply(current, ownUid); });
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
    Insist("return to the thread's own identity", [] { return Apply(*t_Own, t_Own->uid); });
    t_Own.reset();
    DumpableFlag::Release();
}

OwnIdsScope::OwnIdsScope() {
    if (!t_Own)
        return;
    if ((m_Error = ReadThreadIds(m_Impersonated)) != Zym::ERROR_SUCCESS)
        return;
    if ((m_Error = Apply(*t_Own, t_Own->uid)) != Zym::ERROR_SUCCESS) {
        Insist("undo a half-done change of identity",
               [this] { return Apply(m_Impersonated, t_Own->uid); });
        return;
    }
    m_Stepped = true;
}

OwnIdsScope::~OwnIdsScope() {
    if (m_Stepped)
        Insist("take up the impersonation again",
               [this] { return Apply(m_Impersonated, t_Own->uid); });
}

} // namespace ZymWindows::Platform
