#include "ZymThread/ThisThread.h"

#include <string>
#include <windows.h>

namespace ZymThread::ThisThread {

namespace {

// The calling thread's own token, opened to adjust its privileges. A thread
// that impersonates nobody acts with the process's token; it is given a
// copy of it first, so that a change stays with this thread.
HANDLE OpenOwnToken() {
    constexpr DWORD ACCESS = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    HANDLE token = nullptr;
    if (::OpenThreadToken(::GetCurrentThread(), ACCESS, TRUE, &token))
        return token;
    if (::GetLastError() != ERROR_NO_TOKEN || !::ImpersonateSelf(SecurityImpersonation) ||
        !::OpenThreadToken(::GetCurrentThread(), ACCESS, TRUE, &token))
        return nullptr;
    return token;
}

// Turns one privilege of the calling thread's token on or off; false with
// the last error set when the token does not hold it (1300) or cannot be
// changed. `wasEnabled`, when given, receives the privilege's former state.
bool SetPrivilege(LUID privilege, bool enable, bool* wasEnabled) {
    const HANDLE token = OpenOwnToken();
    if (token == nullptr)
        return false;
    TOKEN_PRIVILEGES wanted{1, {{privilege, enable ? DWORD{SE_PRIVILEGE_ENABLED} : 0}}};
    TOKEN_PRIVILEGES former{};
    DWORD formerSize = 0;
    const BOOL adjusted =
        ::AdjustTokenPrivileges(token, FALSE, &wanted, sizeof former, &former, &formerSize);
    // Success may still report ERROR_NOT_ALL_ASSIGNED.
    const DWORD error = ::GetLastError();
    ::CloseHandle(token);
    ::SetLastError(error);
    if (!adjusted || error != ERROR_SUCCESS)
        return false;
    // The former state lists only the privileges that changed.
    if (wasEnabled != nullptr)
        *wasEnabled = former.PrivilegeCount == 0;
    return true;
}

} // namespace

bool EnablePrivilege(std::u16string_view name, PrivilegeToken& token, PrivilegeState& previous) {
    token.threadId = static_cast<long>(::GetCurrentThreadId());
    const std::wstring privilegeName(name.begin(), name.end());
    LUID privilege;
    if (!::LookupPrivilegeValueW(nullptr, privilegeName.c_str(), &privilege))
        return false;
    bool wasEnabled = false;
    if (!SetPrivilege(privilege, true, &wasEnabled))
        return false;
    // The system's privileges are the well-known values 2 to 36: the low
    // part of the value is the whole of it.
    previous.capability = static_cast<int>(privilege.LowPart);
    previous.wasEnabled = wasEnabled;
    return true;
}

bool RestorePrivilege(PrivilegeToken& token, const PrivilegeState& previous) {
    if (token.threadId != static_cast<long>(::GetCurrentThreadId())) {
        ::SetLastError(ERROR_INVALID_THREAD_ID);
        return false;
    }
    if (previous.capability < 0 || previous.wasEnabled)
        return true;
    const LUID privilege{static_cast<DWORD>(previous.capability), 0};
    return SetPrivilege(privilege, false, nullptr);
}

} // namespace ZymThread::ThisThread
