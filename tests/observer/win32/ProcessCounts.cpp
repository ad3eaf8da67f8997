#include "../ObserverTestSupport.h"

#include <ZymThread/Thread.h>

#include <windows.h>

#include <tlhelp32.h>

namespace observertest {

int ThreadsNamed(const std::string& name) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        std::string found;
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId() &&
                 ZymThread::FindThreadName(entry.th32ThreadID, found) && found == name;
    }
    ::CloseHandle(snapshot);
    return count;
}

int OpenHandles() {
    DWORD count = 0;
    return ::GetProcessHandleCount(::GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}

} // namespace observertest
