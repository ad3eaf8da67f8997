#include "ZymThread/DescriptorWait.h"

#include "Zym/LastError.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <new>
#include <poll.h>
#include <vector>

namespace ZymThread {

namespace {

using Clock = std::chrono::steady_clock;

// What is left of a time-out, as poll() takes it: -1 for no limit, and no
// more than INT_MAX milliseconds per call (the caller loops for longer).
class Deadline {
public:
    explicit Deadline(unsigned long timeoutMs)
        : m_Infinite(timeoutMs == INFINITE),
          m_End(Clock::now() + std::chrono::milliseconds(m_Infinite ? 0 : timeoutMs)) {}

    int PollTimeout() const {
        if (m_Infinite)
            return -1;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(m_End - Clock::now()).count();
        if (left <= 0)
            return 0;
        return left > INT_MAX ? INT_MAX : static_cast<int>(left);
    }
    bool Expired() const { return !m_Infinite && Clock::now() >= m_End; }

private:
    bool m_Infinite;
    Clock::time_point m_End;
};

unsigned long Failed(unsigned long code) noexcept {
    Zym::SetLastError(code);
    return WAIT_FAILED;
}

// The events occupy the first `count` slots, the descriptors the ones
// after. Lowest index wins when several are ready at once.
unsigned long WaitForSet(const DescriptorWait* descriptors, unsigned long descriptorCount,
                         EventSemaphore* const* events, unsigned long count,
                         unsigned long timeoutMs) noexcept try {
    if ((count > 0 && events == nullptr) || (descriptorCount > 0 && descriptors == nullptr))
        return Failed(Zym::ERROR_INVALID_PARAMETER);
    std::vector<pollfd> fds(count + descriptorCount);
    for (unsigned long i = 0; i < count; ++i) {
        if (events[i] == nullptr)
            return Failed(Zym::ERROR_INVALID_HANDLE);
        fds[i] = pollfd{events[i]->Handle(), POLLIN, 0};
    }
    for (unsigned long j = 0; j < descriptorCount; ++j) {
        if (descriptors[j].fd < 0)
            return Failed(Zym::ERROR_INVALID_HANDLE);
        fds[count + j] = pollfd{descriptors[j].fd, descriptors[j].pollEvents, 0};
    }

    const Deadline deadline(timeoutMs);
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), deadline.PollTimeout());
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            Zym::SetLastErrorFromErrno(errno);
            return WAIT_FAILED;
        }
        for (unsigned long i = 0; i < count; ++i) {
            if (fds[i].revents & POLLNVAL)
                return Failed(Zym::ERROR_INVALID_HANDLE);
            // Another waiter may take an auto-reset signal first; then
            // this one goes on waiting for what remains of its time.
            if ((fds[i].revents & POLLIN) && events[i]->TryAcquire())
                return WAIT_OBJECT_0 + i;
        }
        for (unsigned long j = 0; j < descriptorCount; ++j) {
            const short revents = fds[count + j].revents;
            if (revents & POLLNVAL)
                return Failed(Zym::ERROR_INVALID_HANDLE);
            if (revents & (descriptors[j].pollEvents | POLLERR | POLLHUP))
                return WAIT_OBJECT_0 + count + j;
        }
        if (deadline.Expired())
            return WAIT_TIMEOUT;
    }
} catch (const std::bad_alloc&) {
    return Failed(Zym::ERROR_NOT_ENOUGH_MEMORY);
}

} // namespace

unsigned long WaitForAny(EventSemaphore* const* events, unsigned long count,
                         unsigned long timeoutMs) noexcept {
    if (count == 0)
        return Failed(Zym::ERROR_INVALID_PARAMETER);
    return WaitForSet(nullptr, 0, events, count, timeoutMs);
}

unsigned long WaitForDescriptor(int fd, short pollEvents, EventSemaphore* const* events,
                                unsigned long count, unsigned long timeoutMs) noexcept {
    const DescriptorWait descriptor{fd, pollEvents};
    return WaitForSet(&descriptor, 1, events, count, timeoutMs);
}

unsigned long WaitForDescriptors(const DescriptorWait* descriptors, unsigned long descriptorCount,
                                 EventSemaphore* const* events, unsigned long count,
                                 unsigned long timeoutMs) noexcept {
    if (count + descriptorCount == 0)
        return Failed(Zym::ERROR_INVALID_PARAMETER);
    return WaitForSet(descriptors, descriptorCount, events, count, timeoutMs);
}

} // namespace ZymThread
