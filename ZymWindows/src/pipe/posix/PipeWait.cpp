#include "PipeWait.h"

#include <ZymThread/EventSemaphore.h>

#include <Zym/LastError.h>

namespace ZymWindows::Platform {

unsigned long WaitForPipeOrShutdown(int fd, short pollEvents, ZymThread::EventSemaphore* shutdown) {
    const unsigned long wait =
        ZymThread::WaitForDescriptor(fd, pollEvents, &shutdown, shutdown ? 1 : 0);
    if (wait == ZymThread::WAIT_FAILED)
        return Zym::GetLastError();
    if (shutdown && wait == ZymThread::WAIT_OBJECT_0) {
        Zym::SetLastError(Zym::ERROR_OPERATION_ABORTED);
        return Zym::ERROR_OPERATION_ABORTED;
    }
    return Zym::ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
