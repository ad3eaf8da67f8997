#include "ControlSignals.h"
#include "Notify.h"
#include "ServiceStatus.h"
#include "service/ServicePlatform.h"

#include <Zym/Exception.h>
#include <Zym/Handle.h>
#include <Zym/LastError.h>
#include <ZymThread/Thread.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// Controls arrive as signals.
struct SignalControl {
    int signal;
    unsigned long control;
};
constexpr std::array<SignalControl, 5> SIGNAL_CONTROLS = {{
    {SIGTERM, SERVICE_CONTROL_STOP},
    {SIGUSR1, SERVICE_CONTROL_PAUSE},
    {SIGUSR2, SERVICE_CONTROL_CONTINUE},
    {SIGHUP, SERVICE_CONTROL_INTERROGATE},
    {SIGPWR, SERVICE_CONTROL_SHUTDOWN},
}};

// The one dispatcher of the process, while it runs.
struct Dispatcher {
    std::u16string name;
    int signals = -1;
    // Wakes the dispatcher when the handler is registered, when a status is
    // reported and when the service's main function returns.
    Zym::Handle wake;
    ServiceStatusTarget status;
    std::mutex lock; // guards the two below
    LPHANDLER_FUNCTION handler = nullptr;
    bool mainEnded = false;
};

std::mutex g_DispatcherLock;
Dispatcher* g_Dispatcher = nullptr;

unsigned long Failure(unsigned long code) {
    Zym::SetLastError(code);
    return code;
}

bool Accepts(const SERVICE_STATUS& status, unsigned long control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        return status.dwControlsAccepted & SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return status.dwControlsAccepted & SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_SHUTDOWN:
        return status.dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN;
    default:
        return true;
    }
}

// Passes one signal on as a control, as the service manager would: only
// controls the service accepts, none once it is stopping.
void Deliver(Dispatcher& dispatcher, LPHANDLER_FUNCTION handler, int signal) {
    unsigned long control = 0;
    for (const SignalControl& entry : SIGNAL_CONTROLS) {
        if (entry.signal == signal)
            control = entry.control;
    }
    {
        std::lock_guard guard(dispatcher.status.lock);
        const unsigned long state = dispatcher.status.last.dwCurrentState;
        if (control == 0 || !Accepts(dispatcher.status.last, control))
            return;
        if (control != SERVICE_CONTROL_INTERROGATE &&
            (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED))
            return;
    }
    handler(control);
    if (control == SERVICE_CONTROL_INTERROGATE) {
        ResendServiceStatus(dispatcher.status);
    }
}

// Serves controls until the service's main function has returned.
void Serve(Dispatcher& dispatcher) {
    for (;;) {
        LPHANDLER_FUNCTION handler = nullptr;
        {
            std::lock_guard guard(dispatcher.lock);
            if (dispatcher.mainEnded)
                return;
            handler = dispatcher.handler;
        }
        bool started = false;
        {
            std::lock_guard guard(dispatcher.status.lock);
            started = dispatcher.status.reported &&
                      dispatcher.status.last.dwCurrentState != SERVICE_START_PENDING;
        }
        // Signals wait in the pipe while the service starts, as the
        // manager takes no controls from a service that is starting.
        const bool serving = handler && started;
        pollfd fds[2] = {{dispatcher.wake.Get(), POLLIN, 0}, {dispatcher.signals, POLLIN, 0}};
        if (::poll(fds, serving ? 2 : 1, -1) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            std::uint64_t value = 0;
            while (::read(dispatcher.wake.Get(), &value, sizeof value) < 0 && errno == EINTR) {
            }
        }
        if (serving && (fds[1].revents & POLLIN)) {
            unsigned char signal = 0;
            if (::read(dispatcher.signals, &signal, 1) == 1)
                Deliver(dispatcher, handler, signal);
        }
    }
}

// The service's main function, on a thread of the framework's own, which
// begins as the process whatever the calling thread acts as.
class ServiceMainBody : public ZymThread::Function {
public:
    ServiceMainBody(Dispatcher& dispatcher, LPSERVICE_MAIN_FUNCTIONW main)
        : m_Dispatcher(dispatcher), m_Main(main) {}
    void* Call(void*) override {
        std::u16string argument = m_Dispatcher.name;
        char16_t* argv[] = {argument.data(), nullptr};
        m_Main(1, argv);
        std::lock_guard guard(m_Dispatcher.lock);
        m_Dispatcher.mainEnded = true;
        WakeUp(m_Dispatcher.wake.Get());
        return nullptr;
    }

private:
    Dispatcher& m_Dispatcher;
    LPSERVICE_MAIN_FUNCTIONW m_Main;
};

// The signals are the dispatcher's while it runs, also without a service
// object.
struct SignalHold {
    SignalHold() { HoldControlSignals(); }
    ~SignalHold() { ReleaseControlSignals(); }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;
};

} // namespace

unsigned long RunControlDispatcher(const char16_t* name, LPSERVICE_MAIN_FUNCTIONW main) {
    if (!HasNotifySocket())
        return Failure(Zym::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    if (!name || !main)
        return Failure(Zym::ERROR_INVALID_PARAMETER);
    const SignalHold hold;
    Dispatcher dispatcher;
    dispatcher.name = name;
    dispatcher.signals = ControlSignalPipe();
    dispatcher.wake.Reset(::eventfd(0, EFD_CLOEXEC));
    if (dispatcher.signals < 0 || !dispatcher.wake.IsValid())
        return Zym::SetLastErrorFromErrno(errno ? errno : EMFILE);
    dispatcher.status.wake = dispatcher.wake.Get();
    {
        std::lock_guard guard(g_DispatcherLock);
        if (g_Dispatcher)
            return Failure(Zym::ERROR_SERVICE_ALREADY_RUNNING);
        g_Dispatcher = &dispatcher;
    }
    unsigned long result = 0;
    BeginControlSignalService();
    try {
        const Zym::SmartPtr<ZymThread::Thread> mainThread =
            new ZymThread::Thread("ServiceMain", new ServiceMainBody(dispatcher, main));
        mainThread->Run();
        Serve(dispatcher);
    } catch (const Zym::BaseException&) {
        // No thread for the service; the last error says why.
        result = Zym::GetLastError();
    }
    EndControlSignalService();
    std::lock_guard guard(g_DispatcherLock);
    g_Dispatcher = nullptr;
    return result;
}

unsigned long RegisterControlHandler(const char16_t* name, LPHANDLER_FUNCTION handler,
                                     SERVICE_STATUS_HANDLE& status) {
    std::lock_guard guard(g_DispatcherLock);
    if (!g_Dispatcher || !name || g_Dispatcher->name != name)
        return Failure(Zym::ERROR_SERVICE_NOT_IN_EXE);
    if (!handler)
        return Failure(Zym::ERROR_INVALID_PARAMETER);
    {
        std::lock_guard handlerGuard(g_Dispatcher->lock);
        g_Dispatcher->handler = handler;
    }
    WakeUp(g_Dispatcher->wake.Get());
    status = &g_Dispatcher->status;
    return 0;
}

} // namespace ZymWindows::Platform
