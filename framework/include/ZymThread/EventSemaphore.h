#pragma once

#include <mutex>

namespace ZymThread {

inline constexpr unsigned long INFINITE = 0xFFFFFFFFUL;
inline constexpr unsigned long WAIT_OBJECT_0 = 0;
inline constexpr unsigned long WAIT_TIMEOUT = 258;
inline constexpr unsigned long WAIT_FAILED = 0xFFFFFFFFUL;

// A system event. Manual-reset events stay signalled until Reset; an
// auto-reset event releases one waiter and clears itself. The event is an
// eventfd that is readable exactly while the event is signalled, so a wait
// can combine it with any file descriptor in poll().
class EventSemaphore {
public:
    // Raises through ThrowLastError when the event cannot be created.
    EventSemaphore(bool manualReset, bool initiallySignalled);
    ~EventSemaphore();
    EventSemaphore(const EventSemaphore&) = delete;
    EventSemaphore& operator=(const EventSemaphore&) = delete;

    // SetEvent / ResetEvent: false with the thread's last error on failure.
    bool Set() noexcept;
    bool Reset() noexcept;
    // WaitForSingleObject: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (last
    // error set). Consumes the signal of an auto-reset event.
    unsigned long Wait(unsigned long timeoutMs = INFINITE) noexcept;
    // Consumes the signal after poll() reported the handle readable: true
    // when this caller got it (always for manual-reset events that are set).
    bool TryAcquire() noexcept;
    bool IsManualReset() const noexcept { return m_ManualReset; }

    // The pollable descriptor (readable while signalled).
    int Handle() const noexcept { return m_Fd; }

private:
    const bool m_ManualReset;
    int m_Fd;
    bool m_Signalled;
    std::mutex m_Lock;
};

// WaitForMultipleObjects with wait-all false: WAIT_OBJECT_0 + the index of
// the first signalled event (auto-reset events consumed), WAIT_TIMEOUT or
// WAIT_FAILED.
unsigned long WaitForAny(EventSemaphore* const* events, unsigned long count,
                         unsigned long timeoutMs = INFINITE) noexcept;

} // namespace ZymThread
