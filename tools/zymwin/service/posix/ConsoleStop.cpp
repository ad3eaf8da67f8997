#include "service/ConsoleStop.h"

#include "Command.h"

#include <Zym/Handle.h>
#include <ZymThread/EventSemaphore.h>

#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <thread>

namespace zymwin {

// Stops a service on Ctrl-C or SIGTERM. The signals are blocked before any
// thread starts, so that only the waiting thread takes them.
struct ConsoleStop::Waiter {
    explicit Waiter(ZymWindows::BasicService& service) {
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
        m_Signals.Reset(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
        if (!m_Signals.IsValid())
            throw UsageError{"cannot wait for Ctrl-C"};
        m_Thread = std::thread([this, &service] {
            ZymThread::EventSemaphore* events[] = {&m_Ended};
            if (ZymThread::WaitForDescriptor(m_Signals.Get(), POLLIN, events, 1) ==
                ZymThread::WAIT_OBJECT_0 + 1)
                service.Stop();
        });
    }
    ~Waiter() {
        m_Ended.Set();
        m_Thread.join();
    }

    Zym::Handle m_Signals;
    ZymThread::EventSemaphore m_Ended{true, false};
    std::thread m_Thread;
};

ConsoleStop::ConsoleStop(ZymWindows::BasicService& service)
    : m_Waiter(std::make_unique<Waiter>(service)) {}

ConsoleStop::~ConsoleStop() = default;

} // namespace zymwin
