#pragma once

#include <Zym/Export.h>

#include <ZymThread/EventSemaphore.h>

// Waits that combine events with file descriptors. Only the POSIX platform
// layers use them (the framework's, and the families' posix/ folders): this
// header is not installed, and portable code waits on events, message
// queues and the families' own platform functions instead.
namespace ZymThread {

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

// WaitForDescriptor for several descriptors (a message queue's descriptor, a
// display connection...): WAIT_OBJECT_0 + count + j when descriptor j is
// ready. Events win over descriptors, and earlier descriptors over later
// ones. One of the two counts may be 0.
ZYM_EXPORT unsigned long WaitForDescriptors(const DescriptorWait* descriptors,
                                            unsigned long descriptorCount,
                                            EventSemaphore* const* events, unsigned long count,
                                            unsigned long timeoutMs = INFINITE) noexcept;

// The calling thread's message queue as a descriptor for poll(): readable
// exactly while the queue holds a message, whatever filter a reader uses, so
// that WaitForDescriptors waits for it together with other descriptors.
// Makes the queue if the thread has none yet. Owned by the queue (never close
// it); -1 with the last error set on failure.
ZYM_EXPORT int MessageQueueHandle() noexcept;

} // namespace ZymThread
