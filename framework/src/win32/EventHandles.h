#pragma once

#include "ZymThread/EventSemaphore.h"

#include <windows.h>

namespace ZymThread {

// Copies the handles of `count` events into `handles` for one of the
// system's waits. False, with the thread's last error set, when an event
// is missing.
inline bool CollectEventHandles(EventSemaphore* const* events, unsigned long count,
                                HANDLE* handles) noexcept {
    for (unsigned long i = 0; i < count; ++i) {
        if (events[i] == nullptr) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        handles[i] = events[i]->Handle();
    }
    return true;
}

} // namespace ZymThread
