#include "pipe/win32/PipeOverlapped.h"

#include <ZymThread/EventSemaphore.h>

namespace ZymWindows::Platform::Win32 {

Overlapped::Overlapped() {
    m_Record.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Overlapped::~Overlapped() {
    if (m_Record.hEvent)
        ::CloseHandle(m_Record.hEvent);
}

HANDLE EventHandleOf(ZymThread::EventSemaphore& event) noexcept {
    return event.Handle();
}

unsigned long Overlapped::Finish(HANDLE file, BOOL started, ZymThread::EventSemaphore* shutdown,
                                 unsigned long limitMs, DWORD& done) {
    done = 0;
    const DWORD startError = started ? ERROR_SUCCESS : ::GetLastError();
    // A part of a longer message is there at once, like a whole one.
    if (startError != ERROR_SUCCESS && startError != ERROR_IO_PENDING &&
        startError != ERROR_MORE_DATA)
        return startError;
    // The I/O event comes first: when both are signalled, the transfer wins.
    const HANDLE events[] = {m_Record.hEvent, shutdown ? EventHandleOf(*shutdown) : nullptr};
    const DWORD wait = startError != ERROR_IO_PENDING
                           ? WAIT_OBJECT_0
                           : ::WaitForMultipleObjects(shutdown ? 2 : 1, events, FALSE, limitMs);
    if (wait == WAIT_FAILED) {
        const DWORD error = ::GetLastError();
        ::CancelIoEx(file, &m_Record);
        ::GetOverlappedResult(file, &m_Record, &done, TRUE);
        ::SetLastError(error);
        return error;
    }
    if (wait != WAIT_OBJECT_0)
        ::CancelIoEx(file, &m_Record);
    // The count comes from here even for an operation that completed at
    // once: Wine leaves the immediate count at 0 for a partial message.
    if (::GetOverlappedResult(file, &m_Record, &done, TRUE))
        return ERROR_SUCCESS;
    DWORD error = ::GetLastError();
    if (error == ERROR_OPERATION_ABORTED && wait != WAIT_OBJECT_0) {
        error = wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : ERROR_OPERATION_ABORTED;
        ::SetLastError(error);
    }
    return error;
}

} // namespace ZymWindows::Platform::Win32
