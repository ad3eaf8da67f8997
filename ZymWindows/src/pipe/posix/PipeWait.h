#pragma once

namespace ZymThread {
class EventSemaphore;
}

namespace ZymWindows::Platform {

// Waits until descriptor `fd` reports one of `pollEvents` or the shutdown
// event (which may be null) is signalled: ERROR_SUCCESS,
// ERROR_OPERATION_ABORTED for the event, or the failure's code.
unsigned long WaitForPipeOrShutdown(int fd, short pollEvents, ZymThread::EventSemaphore* shutdown);

} // namespace ZymWindows::Platform
