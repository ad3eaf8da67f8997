#include "ZymWindows/NamedPipeDaemon.h"

#include "ZymWindows/NamedPipeServer.h"
#include "pipe/PipePlatform.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace ZymWindows {

namespace {

// Gives back the client thread's reference to its pipe however the client
// function ends.
struct PipeNameRelease {
    void operator()(Platform::PipeInstance* reservation) const noexcept {
        Platform::ClosePipeInstance(reservation);
    }
};

class PipeReference {
public:
    explicit PipeReference(ServerNamedPipe* pipe) : m_Pipe(pipe) {}
    ~PipeReference() { m_Pipe->Release(); }
    PipeReference(const PipeReference&) = delete;
    PipeReference& operator=(const PipeReference&) = delete;

private:
    ServerNamedPipe* m_Pipe;
};

} // namespace

NamedPipeDaemon::NamedPipeDaemon(const std::string& pipeName,
                                 const Zym::SmartPtr<ZymThread::Function>& clientFunction,
                                 ZymThread::EventSemaphore* shutdownEvent)
    : m_PipeName(pipeName), m_ClientFunction(clientFunction), m_ShutdownEvent(shutdownEvent) {
    m_ListenThread = new ZymThread::Thread(
        pipeName, new ZymThread::FunctionT<NamedPipeDaemon>(this, &NamedPipeDaemon::ListenThread));
    m_ListenThread->Run();
}

NamedPipeDaemon::~NamedPipeDaemon() {
    m_StopEvent.Set();
    // Releasing the thread waits for the listener, which uses this object.
    m_ListenThread.Reset();
    m_ShutdownEvent = nullptr;
    m_ClientFunction.Reset();
}

bool NamedPipeDaemon::IsStopping() {
    const unsigned long wait = m_StopEvent.Wait(0);
    if (wait == ZymThread::WAIT_FAILED)
        ZymThread::ThrowLastError();
    return wait != ZymThread::WAIT_TIMEOUT;
}

void* NamedPipeDaemon::ListenThread(void*) {
    ZymThread::EventSemaphore* const shutdown = m_ShutdownEvent ? m_ShutdownEvent : &m_StopEvent;
    Zym::SmartPtr<ServerNamedPipe> recentPipe;
    std::vector<Zym::SmartPtr<ZymThread::Thread>> clients;
    const std::unique_ptr<Platform::PipeInstance, PipeNameRelease> reservation(
        Platform::ReservePipeName("\\\\.\\pipe\\" + m_PipeName));
    while (!IsStopping()) {
        try {
            Zym::SmartPtr<ServerNamedPipe> pipe = new ServerNamedPipe(shutdown);
            pipe->Initialize(m_PipeName);
            recentPipe = pipe;
            Zym::SmartPtr<ZymThread::Thread> client = new ZymThread::Thread(
                "Listen: " + m_PipeName, new ZymThread::FunctionT<NamedPipeDaemon>(
                                             this, &NamedPipeDaemon::ClientThread, pipe.Get()));
            pipe->AddRef();
            try {
                client->Run();
            } catch (...) {
                pipe->Release();
                throw;
            }
            clients.push_back(client);
            std::erase_if(clients, [](const auto& thread) { return !thread->IsRunning(); });
        } catch (const Zym::Exception&) {
            // The failed connection is dropped; the listener goes on.
        }
    }
    if (!shutdown->Set())
        ZymThread::ThrowLastError();
    clients.clear();
    recentPipe.Reset();
    return nullptr;
}

void* NamedPipeDaemon::ClientThread(void* pipe) {
    auto* serverPipe = static_cast<ServerNamedPipe*>(pipe);
    const PipeReference reference(serverPipe);
    try {
        m_ClientFunction->Call(serverPipe);
    } catch (const NamedPipe::NamedPipeException&) {
        // The client is gone or the daemon is shutting down.
    }
    return nullptr;
}

} // namespace ZymWindows
