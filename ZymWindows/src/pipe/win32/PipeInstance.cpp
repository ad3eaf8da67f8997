#include "pipe/PipePlatform.h"

#include "pipe/win32/PipeName.h"
#include "pipe/win32/PipeOverlapped.h"

#include <utility>

namespace ZymWindows::Platform {

namespace {

// One packet of header and data fits each direction's buffer.
constexpr DWORD PIPE_BUFFER_SIZE = 32776;
// How long a client's default wait for a busy pipe lasts.
constexpr DWORD DEFAULT_WAIT_MS = 30000;

} // namespace

// A server instance, until a client connects to it and the connected
// handle goes to the caller.
class PipeInstance {
public:
    explicit PipeInstance(HANDLE pipe) : m_Pipe(pipe) {}
    ~PipeInstance() {
        if (m_Pipe != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_Pipe);
    }
    PipeInstance(const PipeInstance&) = delete;
    PipeInstance& operator=(const PipeInstance&) = delete;

    HANDLE Pipe() const noexcept { return m_Pipe; }
    HANDLE Release() noexcept { return std::exchange(m_Pipe, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_Pipe;
};

PipeInstance* CreatePipeInstance(const std::string& path) {
    // A null DACL: any account may open the pipe.
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    // Writes are whole messages, and so are reads; the system counts the
    // instances of the name.
    const HANDLE pipe = ::CreateNamedPipeW(
        Win32::WidePipePath(path).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, MAX_PIPE_INSTANCES, PIPE_BUFFER_SIZE,
        PIPE_BUFFER_SIZE, DEFAULT_WAIT_MS, &attributes);
    if (pipe == INVALID_HANDLE_VALUE)
        return nullptr;
    return new PipeInstance(pipe);
}

void ClosePipeInstance(PipeInstance* instance) noexcept {
    delete instance;
}

// Clients that find no instance between two of a server's are told so by
// the system and retry; nothing holds the name in between.
PipeInstance* ReservePipeName(const std::string&) {
    return nullptr;
}

unsigned long WaitForInstancePlace(PipeInstance&, ZymThread::EventSemaphore*) {
    return ERROR_SUCCESS;
}

unsigned long ConnectPipeInstance(PipeInstance& instance, ZymThread::EventSemaphore* shutdown,
                                  Zym::Handle& pipe) {
    Win32::Overlapped overlapped;
    if (!overlapped.IsValid())
        return ::GetLastError();
    const BOOL connected = ::ConnectNamedPipe(instance.Pipe(), overlapped.Get());
    // A client that came before the call is connected already.
    if (connected || ::GetLastError() == ERROR_PIPE_CONNECTED) {
        pipe.Reset(instance.Release());
        return ERROR_SUCCESS;
    }
    DWORD done = 0;
    const unsigned long error =
        overlapped.Finish(instance.Pipe(), FALSE, shutdown, NO_TIME_LIMIT, done);
    if (error == ERROR_SUCCESS)
        pipe.Reset(instance.Release());
    return error;
}

} // namespace ZymWindows::Platform
