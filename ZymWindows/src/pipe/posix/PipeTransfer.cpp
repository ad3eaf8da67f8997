#include "../PipePlatform.h"

#include "PipeWait.h"

#include <ZymThread/EventSemaphore.h>

#include <Zym/LastError.h>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

namespace ZymWindows::Platform {

namespace {

// The pieces of one transfer as the vector of a socket message.
struct MessageVector {
    template <class Piece> MessageVector(const Piece* pieces, unsigned int count) {
        for (unsigned int i = 0; i < count; ++i)
            vector[i] = {const_cast<void*>(pieces[i].data), pieces[i].size};
        header.msg_iov = vector;
        header.msg_iovlen = count;
    }
    iovec vector[MAX_PIPE_PIECES];
    msghdr header{};
};

// What is left of a time limit, counted from the start of a transfer.
class Deadline {
public:
    explicit Deadline(unsigned long limitMs)
        : m_Limited(limitMs != NO_TIME_LIMIT),
          m_End(std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs)) {}
    bool IsLimited() const noexcept { return m_Limited; }
    unsigned long LeftMs() const {
        if (!m_Limited)
            return NO_TIME_LIMIT;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(m_End - std::chrono::steady_clock::now());
        return left.count() > 0 ? static_cast<unsigned long>(left.count()) : 0;
    }

private:
    bool m_Limited;
    std::chrono::steady_clock::time_point m_End;
};

// Runs one transfer. Without a shutdown event or a time limit nothing can
// interrupt it, so it simply blocks. Otherwise it is tried without
// blocking and, while it would block, the pipe and the event are watched
// together; a transfer that can complete at once thus never looks at the
// event. When the event fires, the transfer is tried once more: bytes that
// are there complete it, as a completed I/O comes first in a Win32 wait.
template <class Transfer>
unsigned long Move(const Zym::Handle& pipe, short pollEvents, ZymThread::EventSemaphore* shutdown,
                   unsigned long timeLimitMs, unsigned int& done, Transfer transfer) {
    const Deadline deadline(timeLimitMs);
    const int flags = shutdown || deadline.IsLimited() ? MSG_DONTWAIT : 0;
    bool lastTry = false;
    for (;;) {
        const ssize_t moved = transfer(flags);
        if (moved > 0) {
            done = static_cast<unsigned int>(moved);
            return Zym::ERROR_SUCCESS;
        }
        if (moved == 0) {
            Zym::SetLastError(Zym::ERROR_BROKEN_PIPE);
            return Zym::ERROR_BROKEN_PIPE;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Zym::SetLastErrorFromErrno(errno);
        if (lastTry) {
            Zym::SetLastError(Zym::ERROR_OPERATION_ABORTED);
            return Zym::ERROR_OPERATION_ABORTED;
        }
        const unsigned long error =
            WaitForPipeOrShutdown(pipe.Get(), pollEvents, shutdown, deadline.LeftMs());
        if (error == Zym::ERROR_OPERATION_ABORTED)
            lastTry = true;
        else if (error != Zym::ERROR_SUCCESS)
            return error;
    }
}

} // namespace

unsigned long WritePipe(const Zym::Handle& pipe, const PipeWritePiece* pieces, unsigned int count,
                        ZymThread::EventSemaphore* shutdown, unsigned int& done,
                        unsigned long timeLimitMs) {
    MessageVector message(pieces, count);
    // MSG_NOSIGNAL: a vanished reader is an error code, never SIGPIPE.
    return Move(pipe, POLLOUT, shutdown, timeLimitMs, done, [&](int flags) {
        return sendmsg(pipe.Get(), &message.header, MSG_NOSIGNAL | flags);
    });
}

unsigned long ReadPipe(const Zym::Handle& pipe, const PipeReadPiece* pieces, unsigned int count,
                       unsigned int needed, ZymThread::EventSemaphore* shutdown, unsigned int& done,
                       unsigned long timeLimitMs) {
    MessageVector message(pieces, count);
    unsigned int total = 0;
    for (unsigned int i = 0; i < count; ++i)
        total += pieces[i].size;
    // A blocking read that needs everything waits for all of it in one
    // call; otherwise it returns with what has arrived.
    const int blocking = needed == total ? MSG_WAITALL : 0;
    return Move(pipe, POLLIN, shutdown, timeLimitMs, done, [&](int flags) {
        return recvmsg(pipe.Get(), &message.header, flags ? flags : blocking);
    });
}

} // namespace ZymWindows::Platform
