#include "ZymThread/EventSemaphore.h"

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

// The events occupy the first `count` slots, the descriptor (if any) the
// last one. Lowest index wins when several are ready at once.
unsigned long WaitForSet(int fd, short pollEvents, EventSemaphore* const* events,
                         unsigned long count, unsigned long timeoutMs) noexcept try {
    if (count > 0 && events == nullptr)
        return Failed(Zym::ERROR_INVALID_PARAMETER);
    const bool withDescriptor = fd >= 0;
    std::vector<pollfd> fds(count + (withDescriptor ? 1 : 0));
    for (unsigned long i = 0; i < count; ++i) {
        if (events[i] == nullptr)
            return Failed(Zym::ERROR_INVALID_HANDLE);
        fds[i] = pollfd{events[i]->Handle(), POLLIN, 0};
    }
    if (withDescriptor)
        fds[count] = pollfd{fd, pollEvents, 0};

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
        if (withDescriptor) {
            const short revents = fds[count].revents;
            if (revents & POLLNVAL)
                return Failed(Zym::ERROR_INVALID_HANDLE);
            if (revents & (pollEvents | POLLERR | POLLHUP))
                return WAIT_OBJECT_0 + count;
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
    return WaitForSet(-1, 0, events, count, timeoutMs);
}

unsigned long WaitForDescriptor(int fd, short pollEvents, EventSemaphore* const* events,
                                unsigned long count, unsigned long timeoutMs) noexcept {
    if (fd < 0)
        return Failed(Zym::ERROR_INVALID_HANDLE);
    return WaitForSet(fd, pollEvents, events, count, timeoutMs);
}

} // namespace ZymThread
