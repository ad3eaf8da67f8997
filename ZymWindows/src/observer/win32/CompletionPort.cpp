#include "observer/ObserverPlatform.h"

#include <windows.h>

namespace ZymWindows::Platform {

void* CreateIoCompletionPort(void* directory, void* port, void* key) {
    if (!directory || directory == INVALID_HANDLE_VALUE) {
        if (port)
            return port;
        directory = INVALID_HANDLE_VALUE;
    }
    return ::CreateIoCompletionPort(directory, port, reinterpret_cast<ULONG_PTR>(key), 0);
}

bool PostQueuedCompletionStatus(void* port, unsigned long bytes, void* key,
                                _OVERLAPPED* overlapped) {
    return ::PostQueuedCompletionStatus(port, bytes, reinterpret_cast<ULONG_PTR>(key),
                                        overlapped) != FALSE;
}

bool GetQueuedCompletionStatus(void* port, unsigned long& bytes, void*& key,
                               _OVERLAPPED*& overlapped) {
    DWORD done = 0;
    ULONG_PTR completionKey = 0;
    overlapped = nullptr;
    const BOOL ok = ::GetQueuedCompletionStatus(port, &done, &completionKey, &overlapped, INFINITE);
    // Without a packet the key and count are not written: report neither.
    if (!ok && !overlapped) {
        bytes = 0;
        key = nullptr;
        return false;
    }
    bytes = done;
    key = reinterpret_cast<void*>(completionKey);
    return ok != FALSE;
}

void CloseCompletionPort(void* port) noexcept {
    if (port)
        ::CloseHandle(port);
}

} // namespace ZymWindows::Platform
