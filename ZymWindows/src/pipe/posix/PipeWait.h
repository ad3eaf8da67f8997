#pragma once

namespace ZymThread {
class EventSemaphore;
}

namespace ZymWindows::Platform {

// Waits until descriptor `fd` reports one of `pollEvents` or the shutdown
// event (which may be null) is signalled, at most `timeoutMs` (by default
// for ever): ERROR_SUCCESS, ERROR_OPERATION_ABORTED for the event,
// ERROR_TIMEOUT, or the failure's code.
unsigned long WaitForPipeOrShutdown(int fd, short pollEvents, ZymThread::EventSemaphore* shutdown,
                                    unsigned long timeoutMs = 0xFFFFFFFFUL);

} // namespace ZymWindows::Platform
