#include "service/StopOnSignal.h"

#include "Command.h"

#include <ZymThread/EventSemaphore.h>

#include <thread>

#include <windows.h>

namespace zymwin {

// The console calls its control handlers on a thread of its own, which only
// sets the request; the waiting thread stops the service, and is done with
// it before the object goes. The request outlives every watcher, so that a
// handler still running after its removal sets a live event.
class StopOnSignal::Watcher {
public:
    explicit Watcher(ZymWindows::BasicService& service) {
        Requested().Reset();
        if (!::SetConsoleCtrlHandler(&Watcher::Handler, TRUE))
            throw UsageError{"cannot wait for Ctrl-C"};
        m_Waiter = std::thread([this, &service] {
            ZymThread::EventSemaphore* events[] = {&m_Ended, &Requested()};
            if (ZymThread::WaitForAny(events, 2) == WAIT_OBJECT_0 + 1)
                service.Stop();
        });
    }
    ~Watcher() {
        m_Ended.Set();
        m_Waiter.join();
        ::SetConsoleCtrlHandler(&Watcher::Handler, FALSE);
    }

private:
    static BOOL WINAPI Handler(DWORD event) {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
            return FALSE;
        Requested().Set();
        return TRUE;
    }

    static ZymThread::EventSemaphore& Requested() {
        static ZymThread::EventSemaphore requested(true, false);
        return requested;
    }

    ZymThread::EventSemaphore m_Ended{true, false};
    std::thread m_Waiter;
};

StopOnSignal::StopOnSignal(ZymWindows::BasicService& service)
    : m_Watcher(std::make_unique<Watcher>(service)) {}

StopOnSignal::~StopOnSignal() = default;

} // namespace zymwin
