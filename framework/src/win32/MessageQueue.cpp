#include "ZymThread/MessageQueue.h"

#include "EventHandles.h"

#include <windows.h>

// The framework's functions carry the names that <windows.h> maps to its
// wide functions.
#undef GetMessage
#undef PeekMessage
#undef DispatchMessage
#undef PostThreadMessage

namespace ZymThread {

namespace {

void FromSystem(const ::MSG& system, MSG* msg) noexcept {
    msg->message = system.message;
    msg->wParam = system.wParam;
    msg->lParam = system.lParam;
    msg->time = system.time;
}

} // namespace

unsigned long GetCurrentThreadId() noexcept {
    return ::GetCurrentThreadId();
}

int GetMessage(MSG* msg, unsigned int filterMin, unsigned int filterMax) noexcept {
    ::MSG system{};
    const BOOL result = ::GetMessageW(&system, nullptr, filterMin, filterMax);
    if (result != -1)
        FromSystem(system, msg);
    return result;
}

bool PeekMessage(MSG* msg, unsigned int filterMin, unsigned int filterMax,
                 unsigned int removeMsg) noexcept {
    ::MSG system{};
    if (!::PeekMessageW(&system, nullptr, filterMin, filterMax, removeMsg))
        return false;
    FromSystem(system, msg);
    return true;
}

std::intptr_t DispatchMessage(const MSG* msg) noexcept {
    ::MSG system{};
    system.message = msg->message;
    system.wParam = msg->wParam;
    system.lParam = msg->lParam;
    system.time = msg->time;
    return ::DispatchMessageW(&system);
}

bool PostThreadMessage(unsigned long threadId, unsigned int message, std::uintptr_t wParam,
                       std::intptr_t lParam) noexcept {
    return ::PostThreadMessageW(threadId, message, wParam, lParam) != 0;
}

unsigned long MsgWaitForMultipleObjects(unsigned long count, EventSemaphore* const* events,
                                        unsigned long timeoutMs) noexcept {
    if (count >= MAXIMUM_WAIT_OBJECTS || (count > 0 && events == nullptr)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    if (!CollectEventHandles(events, count, handles))
        return WAIT_FAILED;
    // Ready while the queue holds a posted message, not only a new one.
    return ::MsgWaitForMultipleObjectsEx(count, handles, timeoutMs, QS_ALLPOSTMESSAGE,
                                         MWMO_INPUTAVAILABLE);
}

} // namespace ZymThread
