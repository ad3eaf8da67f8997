#include "ZymThread/EventSemaphore.h"

#include "EventHandles.h"

#include "ZymThread/Thread.h"

#include <windows.h>

namespace ZymThread {

EventSemaphore::EventSemaphore(bool manualReset, bool initiallySignalled)
    : m_ManualReset(manualReset),
      m_Event(::CreateEventW(nullptr, manualReset, initiallySignalled, nullptr)) {
    if (!m_Event.IsValid())
        ThrowLastError();
}

bool EventSemaphore::Set() noexcept {
    return ::SetEvent(m_Event.Get()) != 0;
}

bool EventSemaphore::Reset() noexcept {
    return ::ResetEvent(m_Event.Get()) != 0;
}

bool EventSemaphore::TryAcquire() noexcept {
    return ::WaitForSingleObject(m_Event.Get(), 0) == WAIT_OBJECT_0;
}

unsigned long EventSemaphore::Wait(unsigned long timeoutMs) noexcept {
    return ::WaitForSingleObject(m_Event.Get(), timeoutMs);
}

unsigned long WaitForAny(EventSemaphore* const* events, unsigned long count,
                         unsigned long timeoutMs) noexcept {
    if (events == nullptr || count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    if (!CollectEventHandles(events, count, handles))
        return WAIT_FAILED;
    return ::WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
}

} // namespace ZymThread
