#include "Notify.h"
#include "ServiceStatus.h"
#include "service/ServicePlatform.h"

#include <Zym/Handle.h>
#include <Zym/LastError.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// Controls arrive as signals. SIGCONT, which the manager sends after
// SIGTERM, means nothing here.
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

// The write end of the dispatcher's signal pipe, for the signal handler.
std::atomic<int> g_SignalPipe{-1};

void OnControlSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    const int fd = g_SignalPipe.load();
    // A full pipe drops the signal, as the kernel would merge it anyway.
    if (fd >= 0 && ::write(fd, &byte, 1) < 0) {
    }
    errno = saved;
}

// The one dispatcher of the process, while it runs.
struct Dispatcher {
    std::u16string name;
    Zym::Handle signalRead;
    Zym::Handle signalWrite;
    // Wakes the dispatcher when the handler is registered, when the first
    // status is reported and when the service's main function returns.
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
        bool reported = false;
        {
            std::lock_guard guard(dispatcher.status.lock);
            reported = dispatcher.status.reported;
        }
        // Signals wait in the pipe until the service can take controls.
        const bool serving = handler && reported;
        pollfd fds[2] = {{dispatcher.wake.Get(), POLLIN, 0},
                         {dispatcher.signalRead.Get(), POLLIN, 0}};
        if (::poll(fds, serving ? 2 : 1, -1) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            std::uint64_t value = 0;
            while (::read(dispatcher.wake.Get(), &value, sizeof value) < 0 && errno == EINTR) {
            }
        }
        if (serving && (fds[1].revents & POLLIN)) {
            unsigned char signal = 0;
            if (::read(dispatcher.signalRead.Get(), &signal, 1) == 1)
                Deliver(dispatcher, handler, signal);
        }
    }
}

// Installs the control signals' handler; puts the previous ones back when
// destroyed.
class ControlSignals {
public:
    explicit ControlSignals(int pipe) {
        g_SignalPipe.store(pipe);
        struct sigaction action {};
        action.sa_handler = &OnControlSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < SIGNAL_CONTROLS.size(); ++i)
            ::sigaction(SIGNAL_CONTROLS[i].signal, &action, &m_Previous[i]);
    }
    ~ControlSignals() {
        for (std::size_t i = 0; i < SIGNAL_CONTROLS.size(); ++i)
            ::sigaction(SIGNAL_CONTROLS[i].signal, &m_Previous[i], nullptr);
        g_SignalPipe.store(-1);
    }
    ControlSignals(const ControlSignals&) = delete;
    ControlSignals& operator=(const ControlSignals&) = delete;

private:
    std::array<struct sigaction, SIGNAL_CONTROLS.size()> m_Previous{};
};

} // namespace

unsigned long RunControlDispatcher(const char16_t* name, LPSERVICE_MAIN_FUNCTIONW main) {
    if (!HasNotifySocket())
        return Failure(Zym::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    if (!name || !main)
        return Failure(Zym::ERROR_INVALID_PARAMETER);
    Dispatcher dispatcher;
    dispatcher.name = name;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    dispatcher.signalRead.Reset(pipe[0]);
    dispatcher.signalWrite.Reset(pipe[1]);
    dispatcher.wake.Reset(::eventfd(0, EFD_CLOEXEC));
    if (!dispatcher.wake.IsValid())
        return Zym::SetLastErrorFromErrno(errno);
    dispatcher.status.wake = dispatcher.wake.Get();
    {
        std::lock_guard guard(g_DispatcherLock);
        if (g_Dispatcher)
            return Failure(Zym::ERROR_SERVICE_ALREADY_RUNNING);
        g_Dispatcher = &dispatcher;
    }
    unsigned long result = 0;
    try {
        const ControlSignals signals(dispatcher.signalWrite.Get());
        std::u16string argument = dispatcher.name;
        char16_t* argv[] = {argument.data(), nullptr};
        std::thread mainThread([&] {
            main(1, argv);
            std::lock_guard guard(dispatcher.lock);
            dispatcher.mainEnded = true;
            WakeUp(dispatcher.wake.Get());
        });
        Serve(dispatcher);
        mainThread.join();
    } catch (const std::system_error&) {
        // No thread for the service.
        result = Failure(Zym::ERROR_NOT_ENOUGH_MEMORY);
    }
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
