#include "ZymThread/ThisThread.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
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

// A TOKEN_PRIVILEGES record of `count` entries, which the declared type
// (room for one) does not hold: the entries are reached through Entry and
// SetEntry, never by indexing past the declared array.
class PrivilegeRecord {
public:
    explicit PrivilegeRecord(DWORD count)
        : m_Bytes(ENTRIES + std::max<DWORD>(count, 1) * sizeof(LUID_AND_ATTRIBUTES)) {
        std::memcpy(m_Bytes.data(), &count, sizeof count);
    }
    TOKEN_PRIVILEGES* Get() { return reinterpret_cast<TOKEN_PRIVILEGES*>(m_Bytes.data()); }
    DWORD Size() const { return static_cast<DWORD>(m_Bytes.size()); }
    // The count the system wrote, bounded by the room the record has.
    DWORD Count() const {
        DWORD count = 0;
        std::memcpy(&count, m_Bytes.data(), sizeof count);
        return std::min<DWORD>(count, (Size() - ENTRIES) / sizeof(LUID_AND_ATTRIBUTES));
    }
    LUID_AND_ATTRIBUTES Entry(DWORD i) const {
        LUID_AND_ATTRIBUTES entry;
        std::memcpy(&entry, m_Bytes.data() + ENTRIES + i * sizeof entry, sizeof entry);
        return entry;
    }
    void SetEntry(DWORD i, const LUID_AND_ATTRIBUTES& entry) {
        std::memcpy(m_Bytes.data() + ENTRIES + i * sizeof entry, &entry, sizeof entry);
    }

private:
    static constexpr std::size_t ENTRIES = offsetof(TOKEN_PRIVILEGES, Privileges);
    std::vector<unsigned char> m_Bytes;
};

// Applies `wanted` to the calling thread's own token; false with the last
// error set when the token does not hold a privilege (1300) or cannot be
// changed. `former`, when given, receives the former state of the
// privileges that changed, as the system reports it.
bool AdjustPrivileges(PrivilegeRecord& wanted, PrivilegeState* former) {
    const HANDLE token = OpenOwnToken();
    if (token == nullptr)
        return false;
    PrivilegeRecord formerState(wanted.Count());
    DWORD formerSize = 0;
    const BOOL adjusted = ::AdjustTokenPrivileges(token, FALSE, wanted.Get(), formerState.Size(),
                                                  former ? formerState.Get() : nullptr,
                                                  former ? &formerSize : nullptr);
    // Success may still report ERROR_NOT_ALL_ASSIGNED.
    const DWORD error = ::GetLastError();
    ::CloseHandle(token);
    ::SetLastError(error);
    if (!adjusted || error != ERROR_SUCCESS)
        return false;
    if (former != nullptr)
        for (DWORD i = 0; i < formerState.Count(); ++i) {
            const LUID_AND_ATTRIBUTES entry = formerState.Entry(i);
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
    PrivilegeRecord wanted(1);
    wanted.SetEntry(0, {privilege, SE_PRIVILEGE_ENABLED});
    return AdjustPrivileges(wanted, &previous);
}

bool RestorePrivilege(PrivilegeToken& token, const PrivilegeState& previous) {
    if (token.threadId != static_cast<long>(::GetCurrentThreadId())) {
        ::SetLastError(ERROR_INVALID_THREAD_ID);
        return false;
    }
    if (previous.changed.empty())
        return true;
    PrivilegeRecord wanted(static_cast<DWORD>(previous.changed.size()));
    for (DWORD i = 0; i < previous.changed.size(); ++i) {
        const PrivilegeSetting& setting = previous.changed[i];
        const LUID privilege{static_cast<DWORD>(setting.privilege),
                             static_cast<LONG>(setting.privilege >> 32)};
        wanted.SetEntry(i, {privilege, setting.enabled ? DWORD{SE_PRIVILEGE_ENABLED} : 0});
    }
    return AdjustPrivileges(wanted, nullptr);
}

} // namespace ZymThread::ThisThread
