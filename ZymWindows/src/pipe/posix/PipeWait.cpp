#include "PipeWait.h"

#include <ZymThread/DescriptorWait.h>

#include <Zym/LastError.h>

namespace ZymWindows::Platform {

unsigned long WaitForPipeOrShutdown(int fd, short pollEvents, ZymThread::EventSemaphore* shutdown,
                                    unsigned long timeoutMs) {
    const unsigned long wait =
        ZymThread::WaitForDescriptor(fd, pollEvents, &shutdown, shutdown ? 1 : 0, timeoutMs);
    if (wait == ZymThread::WAIT_FAILED)
        return Zym::GetLastError();
    if (wait == ZymThread::WAIT_TIMEOUT) {
        Zym::SetLastError(Zym::ERROR_TIMEOUT);
        return Zym::ERROR_TIMEOUT;
    }
    if (shutdown && wait == ZymThread::WAIT_OBJECT_0) {
        Zym::SetLastError(Zym::ERROR_OPERATION_ABORTED);
        return Zym::ERROR_OPERATION_ABORTED;
    }
    return Zym::ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
