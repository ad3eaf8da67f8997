#include "ZymWindows/NamedPipeDaemon.h"

#include "ZymWindows/NamedPipeServer.h"
#include "pipe/PipePlatform.h"

#include <Zym/Environment.h>
#include <Zym/LastError.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace ZymWindows {

namespace {

constexpr unsigned long DEFAULT_HANDSHAKE_LIMIT_MS = 10000;

// $ZYM_PIPE_HANDSHAKE_MS: milliseconds, 0 for no limit; anything else
// keeps the default.
unsigned long HandshakeLimitMs() {
    const std::optional<unsigned long> ms =
        Zym::MillisecondsFromEnvironment("ZYM_PIPE_HANDSHAKE_MS");
    if (!ms)
        return DEFAULT_HANDSHAKE_LIMIT_MS;
    return *ms == 0 ? Platform::NO_TIME_LIMIT : *ms;
}

struct PipeNameRelease {
    void operator()(Platform::PipeInstance* reservation) const noexcept {
        Platform::ClosePipeInstance(reservation);
    }
};

} // namespace

struct NamedPipeDaemon::StopEvent : Zym::SPRefCounter {
    ZymThread::EventSemaphore event{true, false};
};

// The body of one client's thread. It holds everything it uses, so that it
// can go on after the daemon is gone, and it holds its own thread while it
// runs: when the listener has let go of the thread by the time the body
// ends, the thread detaches itself instead of anyone waiting for it.
class NamedPipeDaemon::ClientThread : public ZymThread::Function {
public:
    ClientThread(const Zym::SmartPtr<ZymThread::Function>& clientFunction,
                 const Zym::SmartPtr<StopEvent>& stopEvent,
                 const Zym::SmartPtr<ServerNamedPipe>& pipe)
        : m_ClientFunction(clientFunction), m_StopEvent(stopEvent), m_Pipe(pipe) {}

    void Own(const Zym::SmartPtr<ZymThread::Thread>& thread) { m_Thread = thread; }
    void Disown() { m_Thread.Reset(); }

    void* Call(void*) override {
        // Whatever ends the client function, the pipe goes first (the last
        // reference closes it), then the thread's hold on itself.
        struct Ending {
            ClientThread& body;
            ~Ending() {
                body.m_Pipe.Reset();
                Zym::SmartPtr<ZymThread::Thread> self = std::move(body.m_Thread);
            }
        } ending{*this};
        try {
            m_ClientFunction->Call(m_Pipe.Get());
        } catch (const NamedPipe::NamedPipeException&) {
            // The client is gone or the daemon is shutting down.
        }
        return nullptr;
    }

private:
    Zym::SmartPtr<ZymThread::Function> m_ClientFunction;
    // Outlives the pipe, whose shutdown event it may be.
    Zym::SmartPtr<StopEvent> m_StopEvent;
    Zym::SmartPtr<ServerNamedPipe> m_Pipe;
    Zym::SmartPtr<ZymThread::Thread> m_Thread;
};

NamedPipeDaemon::NamedPipeDaemon(const std::string& pipeName,
                                 const Zym::SmartPtr<ZymThread::Function>& clientFunction,
                                 ZymThread::EventSemaphore* shutdownEvent)
    : m_PipeName(pipeName), m_ClientFunction(clientFunction), m_ShutdownEvent(shutdownEvent),
      m_StopEvent(new StopEvent), m_HandshakeLimitMs(HandshakeLimitMs()) {
    m_ListenThread = new ZymThread::Thread(
        pipeName, new ZymThread::FunctionT<NamedPipeDaemon>(this, &NamedPipeDaemon::ListenThread));
    m_ListenThread->Run();
}

NamedPipeDaemon::~NamedPipeDaemon() {
    if (!m_StopEvent->event.Set())
        ZymThread::ThrowLastError();
    // Releasing the thread waits for the listener, which uses this object.
    m_ListenThread.Reset();
    m_ShutdownEvent = nullptr;
    m_StopEvent.Reset();
    m_ClientFunction.Reset();
}

bool NamedPipeDaemon::IsStopping() {
    const unsigned long wait = m_StopEvent->event.Wait(0);
    if (wait == ZymThread::WAIT_FAILED)
        ZymThread::ThrowLastError();
    return wait != ZymThread::WAIT_TIMEOUT;
}

void* NamedPipeDaemon::ListenThread(void*) {
    ZymThread::EventSemaphore* const shutdown =
        m_ShutdownEvent ? m_ShutdownEvent : &m_StopEvent->event;
    Zym::SmartPtr<ServerNamedPipe> recentPipe;
    std::vector<Zym::SmartPtr<ZymThread::Thread>> clients;
    const std::unique_ptr<Platform::PipeInstance, PipeNameRelease> reservation(
        Platform::ReservePipeName("\\\\.\\pipe\\" + m_PipeName));
    while (!IsStopping()) {
        try {
            // With every instance taken, wait for one to close rather than
            // fail one attempt after another; a shutdown shows right after.
            if (reservation)
                Platform::WaitForInstancePlace(*reservation, shutdown);
            Zym::SmartPtr<ServerNamedPipe> pipe = new ServerNamedPipe(shutdown);
            pipe->m_HandshakeLimitMs = m_HandshakeLimitMs;
            pipe->Initialize(m_PipeName);
            recentPipe = pipe;
            Zym::SmartPtr<ClientThread> body =
                new ClientThread(m_ClientFunction, m_StopEvent, pipe);
            Zym::SmartPtr<ZymThread::Thread> client =
                new ZymThread::Thread("Listen: " + m_PipeName, body.Get());
            body->Own(client);
            try {
                client->Run();
            } catch (...) {
                body->Disown();
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

} // namespace ZymWindows
