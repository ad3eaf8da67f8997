#include "service/StopOnSignal.h"

#include "Command.h"

#include <Zym/Handle.h>
#include <ZymThread/DescriptorWait.h>

#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <thread>

namespace zymwin {

// SIGINT and SIGTERM are blocked before any thread starts, so that only the
// waiting thread takes them.
class StopOnSignal::Watcher {
public:
    explicit Watcher(ZymWindows::BasicService& service) {
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
        m_Signals.Reset(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
        if (!m_Signals.IsValid())
            throw UsageError{"cannot wait for Ctrl-C"};
        m_Waiter = std::thread([this, &service] {
            ZymThread::EventSemaphore* events[] = {&m_Ended};
            if (ZymThread::WaitForDescriptor(m_Signals.Get(), POLLIN, events, 1) ==
                ZymThread::WAIT_OBJECT_0 + 1)
                service.Stop();
        });
    }
    ~Watcher() {
        m_Ended.Set();
        m_Waiter.join();
    }

private:
    Zym::Handle m_Signals;
    ZymThread::EventSemaphore m_Ended{true, false};
    std::thread m_Waiter;
};

StopOnSignal::StopOnSignal(ZymWindows::BasicService& service)
    : m_Watcher(std::make_unique<Watcher>(service)) {}

StopOnSignal::~StopOnSignal() = default;

} // namespace zymwin
