#include "ZymThread/EventSemaphore.h"

#include "Zym/LastError.h"
#include "ZymThread/Thread.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ZymThread {

namespace {

// The counter of a non-semaphore eventfd is emptied by one read, so one
// read clears the event whatever was written before.
bool Drain(int fd) noexcept {
    std::uint64_t value = 0;
    while (::read(fd, &value, sizeof value) < 0) {
        if (errno == EAGAIN)
            return true;
        if (errno != EINTR) {
            Zym::SetLastErrorFromErrno(errno);
            return false;
        }
    }
    return true;
}

bool Signal(int fd) noexcept {
    const std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0) {
        if (errno != EINTR) {
            Zym::SetLastErrorFromErrno(errno);
            return false;
        }
    }
    return true;
}

} // namespace

EventSemaphore::EventSemaphore(bool manualReset, bool initiallySignalled)
    : m_ManualReset(manualReset), m_Event(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!m_Event.IsValid()) {
        Zym::SetLastErrorFromErrno(errno);
        ThrowLastError();
    }
    if (initiallySignalled && !Set())
        ThrowLastError();
}

bool EventSemaphore::Set() noexcept {
    std::lock_guard guard(m_Lock);
    if (m_Signalled)
        return true;
    if (!Signal(m_Event.Get()))
        return false;
    m_Signalled = true;
    return true;
}

bool EventSemaphore::Reset() noexcept {
    std::lock_guard guard(m_Lock);
    if (!m_Signalled)
        return true;
    if (!Drain(m_Event.Get()))
        return false;
    m_Signalled = false;
    return true;
}

bool EventSemaphore::TryAcquire() noexcept {
    std::lock_guard guard(m_Lock);
    if (!m_Signalled)
        return false;
    if (m_ManualReset)
        return true;
    // Only the flag decides who got the signal; a failed drain would leave
    // the descriptor readable, so the flag stays as the descriptor says.
    if (!Drain(m_Event.Get()))
        return false;
    m_Signalled = false;
    return true;
}

unsigned long EventSemaphore::Wait(unsigned long timeoutMs) noexcept {
    EventSemaphore* self = this;
    return WaitForAny(&self, 1, timeoutMs);
}

} // namespace ZymThread
