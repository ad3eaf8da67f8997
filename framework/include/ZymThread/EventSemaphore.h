#pragma once

#include <Zym/Export.h>

#include <Zym/Handle.h>

#include <mutex>

namespace ZymThread {

// The wait results of Win32; where <windows.h> came first its own names
// stand, with the same values.
#if !defined(INFINITE)
inline constexpr unsigned long INFINITE = 0xFFFFFFFFUL;
#endif
#if !defined(WAIT_OBJECT_0)
inline constexpr unsigned long WAIT_OBJECT_0 = 0;
#endif
#if !defined(WAIT_TIMEOUT)
inline constexpr unsigned long WAIT_TIMEOUT = 258;
#endif
#if !defined(WAIT_FAILED)
inline constexpr unsigned long WAIT_FAILED = 0xFFFFFFFFUL;
#endif

// A system event. Manual-reset events stay signalled until Reset; an
// auto-reset event releases one waiter and clears itself. Setting an event
// that is already signalled changes nothing: signals do not accumulate.
class ZYM_EXPORT EventSemaphore {
public:
    // Raises through ThrowLastError when the event cannot be created.
    EventSemaphore(bool manualReset, bool initiallySignalled);
    EventSemaphore(const EventSemaphore&) = delete;
    EventSemaphore& operator=(const EventSemaphore&) = delete;

    // SetEvent / ResetEvent: false with the thread's last error on failure.
    bool Set() noexcept;
    bool Reset() noexcept;
    // WaitForSingleObject: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (last
    // error set). Consumes the signal of an auto-reset event.
    unsigned long Wait(unsigned long timeoutMs = INFINITE) noexcept;
    // Takes the signal without waiting: true when this caller got it (always
    // for manual-reset events that are set). Several threads may see the same
    // auto-reset signal in a wait; exactly one of them gets true here.
    bool TryAcquire() noexcept;
    bool IsManualReset() const noexcept { return m_ManualReset; }

    // The system's event, for the platform layers that wait on it together
    // with their own objects. Set and Reset must go through the object, never
    // through the handle.
    Zym::NativeHandle Handle() const noexcept { return m_Event.Get(); }

private:
    const bool m_ManualReset;
    Zym::Handle m_Event;
    bool m_Signalled = false;
    std::mutex m_Lock;
};

// WaitForMultipleObjects with wait-all false: WAIT_OBJECT_0 + the index of
// the first signalled event (auto-reset events consumed), WAIT_TIMEOUT or
// WAIT_FAILED (last error set; a null event or a count of 0 is 87).
ZYM_EXPORT unsigned long WaitForAny(EventSemaphore* const* events, unsigned long count,
                                    unsigned long timeoutMs = INFINITE) noexcept;

} // namespace ZymThread
