#pragma once

#include <Zym/Export.h>

#include <Zym/Handle.h>

#include <mutex>

namespace ZymThread {

inline constexpr unsigned long INFINITE = 0xFFFFFFFFUL;
inline constexpr unsigned long WAIT_OBJECT_0 = 0;
inline constexpr unsigned long WAIT_TIMEOUT = 258;
inline constexpr unsigned long WAIT_FAILED = 0xFFFFFFFFUL;

// A system event. Manual-reset events stay signalled until Reset; an
// auto-reset event releases one waiter and clears itself. The event is an
// eventfd that is readable exactly while the event is signalled, so a wait
// can combine it with any file descriptor in poll(). Setting an event that
// is already signalled changes nothing: signals do not accumulate.
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
    // Consumes the signal after poll() reported the handle readable: true
    // when this caller got it (always for manual-reset events that are set).
    // Several threads may see the same auto-reset signal in poll(); exactly
    // one of them gets true here.
    bool TryAcquire() noexcept;
    bool IsManualReset() const noexcept { return m_ManualReset; }

    // The pollable descriptor (readable while signalled). Set and Reset must
    // go through the object, never through the descriptor.
    int Handle() const noexcept { return m_Fd.Get(); }

private:
    const bool m_ManualReset;
    Zym::Handle m_Fd;
    bool m_Signalled = false;
    std::mutex m_Lock;
};

// WaitForMultipleObjects with wait-all false: WAIT_OBJECT_0 + the index of
// the first signalled event (auto-reset events consumed), WAIT_TIMEOUT or
// WAIT_FAILED (last error set; a null event or a count of 0 is 87).
ZYM_EXPORT unsigned long WaitForAny(EventSemaphore* const* events, unsigned long count,
                                    unsigned long timeoutMs = INFINITE) noexcept;

// Waits until one of the events is signalled or the descriptor reports one
// of `pollEvents` (poll() flags; an error or hang-up on it counts as ready,
// so the following I/O call reports it). Returns WAIT_OBJECT_0 + i for
// event i (consumed if auto-reset), WAIT_OBJECT_0 + count for the
// descriptor, WAIT_TIMEOUT, or WAIT_FAILED with the last error set (an
// invalid descriptor is 6). When several are ready at once, the events win
// in index order over the descriptor. `count` may be 0.
ZYM_EXPORT unsigned long WaitForDescriptor(int fd, short pollEvents, EventSemaphore* const* events,
                                           unsigned long count,
                                           unsigned long timeoutMs = INFINITE) noexcept;

// A descriptor and the poll() flags to wait for on it.
struct ZYM_EXPORT DescriptorWait {
    int fd;
    short pollEvents;
};

// WaitForDescriptor for several descriptors (a message queue's handle, a
// display connection...): WAIT_OBJECT_0 + count + j when descriptor j is
// ready. Events win over descriptors, and earlier descriptors over later
// ones. One of the two counts may be 0.
ZYM_EXPORT unsigned long WaitForDescriptors(const DescriptorWait* descriptors,
                                            unsigned long descriptorCount,
                                            EventSemaphore* const* events, unsigned long count,
                                            unsigned long timeoutMs = INFINITE) noexcept;

} // namespace ZymThread
