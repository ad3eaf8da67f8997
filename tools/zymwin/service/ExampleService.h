#pragma once

#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>
#include <ZymWindows/Service.h>

#include <atomic>
#include <string>

namespace zymwin {

// The example service of `zymwin service`: a worker logs a line every few
// seconds while the service runs and is not paused. It accepts stop, pause
// and continue, and shutdown. One per process.
class ExampleService : public ZymWindows::Service {
public:
    static constexpr unsigned long TICK_MS = 3000;

    // Installed with a `logFile`, the service writes its log there.
    ExampleService(const Zym::SmartPtr<Zym::LogCallInterface>& logger, const std::string& name,
                   const std::string& displayName, const std::string& dependencies,
                   const std::string& logFile = "");
    ~ExampleService() override;

    // Installed, it starts as `zymwin service run NAME [--log FILE]`.
    void Start(bool asService) override;

protected:
    void Run() override;
    void CustomInitialize() override;
    void CustomUninitialize() override;
    void CtrlPause() override;
    void CtrlContinue() override;
    void CtrlShutDown() override;

private:
    static void ServiceMain(unsigned long argc, char16_t** argv);
    static void ControlHandler(unsigned long control);
    void* Work(void*);

    static ExampleService* ms_Instance;

    ZymThread::EventSemaphore m_StopWork{true, false};
    Zym::SmartPtr<ZymThread::Thread> m_Worker;
    std::atomic<bool> m_Paused{false};
};

} // namespace zymwin
