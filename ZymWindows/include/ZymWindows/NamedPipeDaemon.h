#pragma once

#include <ZymWindows/Export.h>

#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <string>

namespace ZymWindows {

// A ready-made pipe server. Its listening thread accepts one client after
// another on the pipe and calls the client function on a thread of its own
// per client, with the connected ServerNamedPipe* as argument; the pipe
// lives while the function runs and is closed when it returns. Pipe
// exceptions escaping the function end that client quietly.
//
// Destroying the daemon stops it. Without an application shutdown event
// that is immediate; with one, the listener stops when the next client
// connects or when the application signals its event, and the destructor
// waits for that. When the listener stops it signals the shutdown event, so
// that every client's pending transfer ends. Neither waits for the client
// functions: each client thread holds what it uses (the function, its
// pipe, the daemon's own stop event) and finishes on its own.
//
// A client must complete the connection handshake within
// $ZYM_PIPE_HANDSHAKE_MS milliseconds (default 10000; 0: no limit), or it
// is dropped and the next client served.
class ZYMWINDOWS_EXPORT NamedPipeDaemon : public Zym::SPRefCounter {
public:
    NamedPipeDaemon(const std::string& pipeName,
                    const Zym::SmartPtr<ZymThread::Function>& clientFunction,
                    ZymThread::EventSemaphore* shutdownEvent);
    ~NamedPipeDaemon() override;
    NamedPipeDaemon(const NamedPipeDaemon&) = delete;
    NamedPipeDaemon& operator=(const NamedPipeDaemon&) = delete;

private:
    // The stop event, counted: pipes made with it as their shutdown event
    // may outlive the daemon on their client threads.
    struct StopEvent;
    class ClientThread;

    void* ListenThread(void*);
    // Whether the stop event is signalled; raises when it cannot be tested.
    bool IsStopping();

    std::string m_PipeName;
    Zym::SmartPtr<ZymThread::Function> m_ClientFunction;
    ZymThread::EventSemaphore* m_ShutdownEvent;
    Zym::SmartPtr<StopEvent> m_StopEvent;
    unsigned long m_HandshakeLimitMs;
    Zym::SmartPtr<ZymThread::Thread> m_ListenThread;
};

} // namespace ZymWindows
