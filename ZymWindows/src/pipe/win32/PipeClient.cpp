#include "pipe/PipePlatform.h"

#include "pipe/win32/PipeName.h"
#include "pipe/win32/PipeOverlapped.h"

namespace ZymWindows::Platform {

namespace {

// With a shutdown event to watch, a busy pipe is waited for in slices, as
// the system's wait cannot watch an event too.
constexpr DWORD SHUTDOWN_SLICE_MS = 100;

} // namespace

unsigned long OpenPipe(const std::string& path, Zym::Handle& pipe) {
    const HANDLE client =
        ::CreateFileW(Win32::WidePipePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (client == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    pipe.Reset(client);
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(client, &mode, nullptr, nullptr)) {
        const DWORD error = ::GetLastError();
        pipe.Close();
        ::SetLastError(error);
        return error;
    }
    return ERROR_SUCCESS;
}

void WaitForFreeInstance(const std::string& path, const Zym::Handle&,
                         ZymThread::EventSemaphore* shutdown) {
    ::WaitNamedPipeW(Win32::WidePipePath(path).c_str(),
                     shutdown ? SHUTDOWN_SLICE_MS : NMPWAIT_USE_DEFAULT_WAIT);
}

} // namespace ZymWindows::Platform
