#pragma once

#include <windows.h>

namespace ZymThread {
class EventSemaphore;
}

namespace ZymWindows::Platform::Win32 {

// An OVERLAPPED record with an event of its own, for one operation.
class Overlapped {
public:
    Overlapped();
    ~Overlapped();
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    OVERLAPPED* Get() noexcept { return &m_Record; }
    bool IsValid() const noexcept { return m_Record.hEvent != nullptr; }

    // Ends an operation on `file` that was started with this record and
    // returned `started` (with the last error as it left it): the count
    // done, or a Win32 error. A pending operation is waited for together
    // with the shutdown event, at most `limitMs`; when the event or the
    // limit comes first the operation is cancelled, and unless it had
    // completed by then the result is ERROR_OPERATION_ABORTED or
    // ERROR_TIMEOUT. A message longer than the read is ERROR_MORE_DATA with
    // its first bytes in `done`.
    unsigned long Finish(HANDLE file, BOOL started, ZymThread::EventSemaphore* shutdown,
                         unsigned long limitMs, DWORD& done);

private:
    OVERLAPPED m_Record{};
};

// The system handle of the shutdown event.
HANDLE EventHandleOf(ZymThread::EventSemaphore& event) noexcept;

} // namespace ZymWindows::Platform::Win32
