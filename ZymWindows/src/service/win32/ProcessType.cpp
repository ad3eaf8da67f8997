#include "service/ServicePlatform.h"

#include <Zym/Handle.h>

#include <windows.h>

#include <vector>

namespace ZymWindows::Platform {

namespace {

// A SID that FreeSid releases.
struct WellKnownSid {
    PSID sid = nullptr;
    explicit WellKnownSid(DWORD rid) {
        SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
        if (!::AllocateAndInitializeSid(&authority, 1, rid, 0, 0, 0, 0, 0, 0, 0, &sid))
            sid = nullptr;
    }
    ~WellKnownSid() {
        if (sid)
            ::FreeSid(sid);
    }
    WellKnownSid(const WellKnownSid&) = delete;
    WellKnownSid& operator=(const WellKnownSid&) = delete;
};

// The logon groups of the process's token: the interactive group S-1-5-4
// or the service group S-1-5-6, whichever the token lists first.
unsigned long TypeFromToken(void* process, Service::ProcessType& type) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process ? process : ::GetCurrentProcess(), TOKEN_QUERY, &token))
        return ::GetLastError();
    const Zym::Handle tokenHandle(token);
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenGroups, nullptr, 0, &size) &&
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return ::GetLastError();
    // TOKEN_GROUPS holds pointers: the buffer is aligned for them.
    std::vector<void*> buffer(size / sizeof(void*) + 1);
    if (!::GetTokenInformation(token, TokenGroups, buffer.data(),
                               static_cast<DWORD>(buffer.size() * sizeof(void*)), &size))
        return ::GetLastError();
    const WellKnownSid interactive(SECURITY_INTERACTIVE_RID);
    const WellKnownSid service(SECURITY_SERVICE_RID);
    if (!interactive.sid || !service.sid)
        return ::GetLastError();
    type = Service::OTHER_PROCESS;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (::EqualSid(groups->Groups[i].Sid, interactive.sid)) {
            type = Service::INTERACTIVE_PROCESS;
            break;
        }
        if (::EqualSid(groups->Groups[i].Sid, service.sid)) {
            type = Service::SERVICE_PROCESS;
            break;
        }
    }
    return 0;
}

} // namespace

unsigned long QueryProcessType(void* process, Service::ProcessType& type) {
    const unsigned long error = TypeFromToken(process, type);
    // Left as the last error once the token and the SIDs are released.
    if (error != 0)
        ::SetLastError(error);
    return error;
}

unsigned long OpenProcessHandle(unsigned long processId, void*& process) {
    const HANDLE opened = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!opened)
        return ::GetLastError();
    process = opened;
    return 0;
}

void CloseProcessHandle(void* process) noexcept {
    if (process)
        ::CloseHandle(process);
}

} // namespace ZymWindows::Platform
