#include "ZymThread/ThisThread.h"

#include <string>
#include <vector>
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

// Applies `wanted` to the calling thread's own token; false with the last
// error set when the token does not hold a privilege (1300) or cannot be
// changed. `former`, when given, receives the former state of the
// privileges that changed, as the system reports it.
bool AdjustPrivileges(TOKEN_PRIVILEGES& wanted, PrivilegeState* former) {
    const HANDLE token = OpenOwnToken();
    if (token == nullptr)
        return false;
    std::vector<unsigned char> buffer(sizeof(TOKEN_PRIVILEGES) +
                                      wanted.PrivilegeCount * sizeof(LUID_AND_ATTRIBUTES));
    auto* formerState = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    DWORD formerSize = 0;
    const BOOL adjusted =
        ::AdjustTokenPrivileges(token, FALSE, &wanted, static_cast<DWORD>(buffer.size()),
                                former ? formerState : nullptr, former ? &formerSize : nullptr);
    // Success may still report ERROR_NOT_ALL_ASSIGNED.
    const DWORD error = ::GetLastError();
    ::CloseHandle(token);
    ::SetLastError(error);
    if (!adjusted || error != ERROR_SUCCESS)
        return false;
    if (former != nullptr)
        for (DWORD i = 0; i < formerState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = formerState->Privileges[i];
            former->changed.push_back(
                {(std::uint64_t{static_cast<DWORD>(entry.Luid.HighPart)} << 32) |
                     entry.Luid.LowPart,
                 (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0});
        }
    return true;
}

} // namespace

bool EnablePrivilege(std::u16string_view name, PrivilegeToken& token, PrivilegeState& previous) {
    token.threadId = static_cast<long>(::GetCurrentThreadId());
    previous.changed.clear();
    const std::wstring privilegeName(name.begin(), name.end());
    LUID privilege;
    if (!::LookupPrivilegeValueW(nullptr, privilegeName.c_str(), &privilege))
        return false;
    TOKEN_PRIVILEGES wanted{1, {{privilege, SE_PRIVILEGE_ENABLED}}};
    return AdjustPrivileges(wanted, &previous);
}

bool RestorePrivilege(PrivilegeToken& token, const PrivilegeState& previous) {
    if (token.threadId != static_cast<long>(::GetCurrentThreadId())) {
        ::SetLastError(ERROR_INVALID_THREAD_ID);
        return false;
    }
    if (previous.changed.empty())
        return true;
    std::vector<unsigned char> buffer(sizeof(TOKEN_PRIVILEGES) +
                                      previous.changed.size() * sizeof(LUID_AND_ATTRIBUTES));
    auto* wanted = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    wanted->PrivilegeCount = static_cast<DWORD>(previous.changed.size());
    for (std::size_t i = 0; i < previous.changed.size(); ++i) {
        const PrivilegeSetting& setting = previous.changed[i];
        wanted->Privileges[i].Luid.LowPart = static_cast<DWORD>(setting.privilege);
        wanted->Privileges[i].Luid.HighPart = static_cast<LONG>(setting.privilege >> 32);
        wanted->Privileges[i].Attributes = setting.enabled ? SE_PRIVILEGE_ENABLED : 0;
    }
    return AdjustPrivileges(*wanted, nullptr);
}

} // namespace ZymThread::ThisThread
