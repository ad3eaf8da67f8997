#include "service/StopOnSignal.h"

#include "Command.h"

#include <atomic>

#include <windows.h>

namespace zymwin {

// The console calls its control handlers on a thread of its own; one
// service at a time is stopped from there.
class StopOnSignal::Watcher {
public:
    explicit Watcher(ZymWindows::BasicService& service) {
        ZymWindows::BasicService* none = nullptr;
        if (!ms_Service.compare_exchange_strong(none, &service))
            throw UsageError{"another service already waits for Ctrl-C"};
        if (!::SetConsoleCtrlHandler(&Watcher::Handler, TRUE)) {
            ms_Service = nullptr;
            throw UsageError{"cannot wait for Ctrl-C"};
        }
    }
    ~Watcher() {
        ::SetConsoleCtrlHandler(&Watcher::Handler, FALSE);
        ms_Service = nullptr;
    }

private:
    static BOOL WINAPI Handler(DWORD event) {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
            return FALSE;
        if (ZymWindows::BasicService* service = ms_Service.load())
            service->Stop();
        return TRUE;
    }

    static inline std::atomic<ZymWindows::BasicService*> ms_Service{nullptr};
};

StopOnSignal::StopOnSignal(ZymWindows::BasicService& service)
    : m_Watcher(std::make_unique<Watcher>(service)) {}

StopOnSignal::~StopOnSignal() = default;

} // namespace zymwin
