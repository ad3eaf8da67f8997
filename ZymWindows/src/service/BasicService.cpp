#include "ZymWindows/Service.h"

#include "LoopSeam.h"
#include "ServiceMessages.h"
#include "ZymWindows/ZymWindowsMsg-I.h"

#include <Zym/LastError.h>
#include <Zym/LogEntry.h>
#include <ZymThread/MessageQueue.h>

namespace ZymWindows {

namespace {

using Severity = Zym::LogEntryCallInterface::EntrySeverities;
using ServiceMessages::BASIC_SOURCE;

// "A,B,C" as the list "A\0B\0C\0\0"; "" as "\0\0".
std::vector<char16_t> DependencyList(const std::u16string& dependencies) {
    std::vector<char16_t> list(dependencies.size() + 2, u'\0');
    for (std::size_t i = 0; i < dependencies.size(); ++i)
        list[i] = dependencies[i] == u',' ? u'\0' : dependencies[i];
    return list;
}

} // namespace

void (*LoopSeam::g_LoopEnding)() = nullptr;

BasicService::BasicService(const Zym::SmartPtr<Zym::LogCallInterface>& logger,
                           const std::u16string& name, const std::u16string& displayName,
                           const std::u16string& dependencies)
    : m_Name(name), m_DisplayName(displayName), m_Dependencies(DependencyList(dependencies)),
      m_Logger(logger) {}

BasicService::~BasicService() = default;

void BasicService::Install(bool registerService) {
    ZymThread::CriticalSectionGuard guard(m_InstallLock);
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_INSTALL,
                                  MSG_SERVICE_INSTALLING),
        Severity::SEVERITY_PROGRESS);
    Uninstall();
    CustomInstall(registerService);
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_INSTALL,
                                  MSG_SERVICE_INSTALLED),
        Severity::SEVERITY_PROGRESS);
}

void BasicService::Uninstall() {
    ZymThread::CriticalSectionGuard guard(m_InstallLock);
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                  MSG_SERVICE_UNINSTALLING),
        Severity::SEVERITY_PROGRESS);
    CustomUninstall();
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                  MSG_SERVICE_UNINSTALLED),
        Severity::SEVERITY_PROGRESS);
}

void BasicService::Stop() {
    ZymThread::CriticalSectionGuard guard(m_ControlLock);
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_STOP,
                                  MSG_SERVICE_ATTEMPT_STOP),
        Severity::SEVERITY_PROGRESS);
    if (m_MessageLoopThread == 0) {
        // A loop that is not there yet ends as soon as it starts.
        if (!m_RunEnded)
            m_StopPending = true;
        return;
    }
    if (!ZymThread::PostThreadMessage(m_MessageLoopThread, ZymThread::WM_QUIT, 0, 0)) {
        const unsigned long error = Zym::GetLastError();
        if (error != Zym::ERROR_INVALID_THREAD_ID)
            ServiceMessages::ThrowCallFailure(BASIC_SOURCE, __LINE__, MSG_SERVICE_STOP,
                                              MSG_CALL_POST_THREAD_MESSAGE, error);
    }
}

void BasicService::CustomInstall(bool) {}

void BasicService::CustomUninstall() {}

void BasicService::CustomInitialize() {}

void BasicService::CustomUninitialize() {}

void BasicService::Run() {
    // A class derived from this one alone has no start of its own that
    // marks the run.
    BeginRun();
    CustomInitialize();
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_RUN, MSG_SERVICE_RUNNING),
        Severity::SEVERITY_PROGRESS);
    MessageLoop();
    Log(ServiceMessages::Progress(BASIC_SOURCE, __LINE__, MSG_SERVICE_RUN,
                                  MSG_SERVICE_STOP_PENDING),
        Severity::SEVERITY_PROGRESS);
    CustomUninitialize();
}

void BasicService::MessageLoop() {
    ZymThread::MSG msg;
    // Makes the thread's queue before anyone learns the thread's id, so
    // that a stop posted from then on finds it.
    ZymThread::PeekMessage(&msg, 0, 0, ZymThread::PM_NOREMOVE);
    {
        ZymThread::CriticalSectionGuard guard(m_ControlLock);
        m_MessageLoopThread = ZymThread::GetCurrentThreadId();
        if (m_StopPending) {
            m_StopPending = false;
            ZymThread::PostThreadMessage(m_MessageLoopThread, ZymThread::WM_QUIT, 0, 0);
        }
    }
    while (ZymThread::GetMessage(&msg) > 0)
        ZymThread::DispatchMessage(&msg);
    if (LoopSeam::g_LoopEnding)
        LoopSeam::g_LoopEnding();
    ZymThread::CriticalSectionGuard guard(m_ControlLock);
    m_MessageLoopThread = 0;
    m_RunEnded = true;
    // Stops that came while the loop was ending each left a WM_QUIT, which
    // would end the next run on this thread at once.
    while (ZymThread::PeekMessage(&msg, ZymThread::WM_QUIT, ZymThread::WM_QUIT,
                                  ZymThread::PM_REMOVE)) {
    }
}

void BasicService::BeginRun() {
    ZymThread::CriticalSectionGuard guard(m_ControlLock);
    m_RunEnded = false;
}

void BasicService::EndRun() {
    ZymThread::CriticalSectionGuard guard(m_ControlLock);
    m_RunEnded = true;
    m_StopPending = false;
}

void BasicService::CtrlStop() {
    Stop();
}

void BasicService::CtrlPause() {}

void BasicService::CtrlContinue() {}

void BasicService::CtrlInterrogate() {}

void BasicService::CtrlShutDown() {}

void BasicService::Log(const std::u16string& text, Severity severity) const {
    if (m_Logger)
        m_Logger->AddEntry(text, severity);
}

void BasicService::Log(const Zym::SmartPtr<Zym::MessageInfo>& message, Severity severity) const {
    if (m_Logger)
        m_Logger->AddEntry(message, severity);
}

} // namespace ZymWindows
