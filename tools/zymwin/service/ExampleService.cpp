#include "ExampleService.h"

#include <ZymCharset/Utf.h>

namespace zymwin {

namespace {

constexpr unsigned long ACCEPT_STOP = 0x1;
constexpr unsigned long ACCEPT_PAUSE_CONTINUE = 0x2;
constexpr unsigned long ACCEPT_SHUTDOWN = 0x4;
constexpr unsigned long SERVICE_RUNNING = 4;
constexpr unsigned long SERVICE_PAUSED = 7;

} // namespace

ExampleService* ExampleService::ms_Instance = nullptr;

ExampleService::ExampleService(const Zym::SmartPtr<Zym::LogCallInterface>& logger,
                               const std::string& name, const std::string& displayName,
                               const std::string& dependencies, const std::string& logFile)
    : Service(logger, ZymCharset::FromUtf8(name), ZymCharset::FromUtf8(displayName),
              ACCEPT_STOP | ACCEPT_PAUSE_CONTINUE | ACCEPT_SHUTDOWN,
              ZymCharset::FromUtf8(dependencies)) {
    std::vector<std::u16string> arguments{u"service", u"run", ZymCharset::FromUtf8(name)};
    if (!logFile.empty())
        arguments.insert(arguments.end(), {u"--log", ZymCharset::FromUtf8(logFile)});
    SetStartArguments(arguments);
}

// The worker is still there when the service failed between starting it
// and stopping it.
ExampleService::~ExampleService() {
    m_StopWork.Set();
    m_Worker.Reset();
    ms_Instance = nullptr;
}

void ExampleService::Start(bool asService) {
    ms_Instance = this;
    ContinueStart(asService, &ExampleService::ServiceMain, &ExampleService::ControlHandler);
}

void ExampleService::ServiceMain(unsigned long argc, char16_t** argv) {
    ms_Instance->Main(argc, argv);
}

void ExampleService::ControlHandler(unsigned long control) {
    ms_Instance->Handler(control);
}

void ExampleService::Run() {
    BasicService::Run();
}

void ExampleService::CustomInitialize() {
    m_StopWork.Reset();
    m_Worker = new ZymThread::Thread(
        "ServiceWorker", new ZymThread::FunctionT<ExampleService>(this, &ExampleService::Work));
    m_Worker->Run();
}

void ExampleService::CustomUninitialize() {
    m_StopWork.Set();
    m_Worker.Reset();
}

// A control the service accepts ends in a report of the state it reached;
// without one the manager would wait for it in vain.
void ExampleService::CtrlPause() {
    m_Paused = true;
    Log(u"Example service: paused.", Zym::LogEntryCallInterface::SEVERITY_PROGRESS);
    SetStatus(SERVICE_PAUSED);
}

void ExampleService::CtrlContinue() {
    m_Paused = false;
    Log(u"Example service: continued.", Zym::LogEntryCallInterface::SEVERITY_PROGRESS);
    SetStatus(SERVICE_RUNNING);
}

void ExampleService::CtrlShutDown() {
    Log(u"Example service: the system is shutting down.",
        Zym::LogEntryCallInterface::SEVERITY_PROGRESS);
    Stop();
}

void* ExampleService::Work(void*) {
    for (unsigned long tick = 1; m_StopWork.Wait(TICK_MS) == ZymThread::WAIT_TIMEOUT;) {
        if (!m_Paused) {
            Log(u"Example service: tick " + ZymCharset::FromUtf8(std::to_string(tick++)) + u".",
                Zym::LogEntryCallInterface::SEVERITY_PROGRESS);
        }
    }
    return nullptr;
}

} // namespace zymwin
