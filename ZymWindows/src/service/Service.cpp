#include "ZymWindows/Service.h"

#include "ServiceMessages.h"
#include "ServicePlatform.h"
#include "ZymWindows/Exceptions.h"
#include "ZymWindows/ZymWindowsMsg-I.h"

#include <Zym/Exception.h>
#include <Zym/LastError.h>

namespace ZymWindows {

namespace {

using Severity = Zym::LogEntryCallInterface::EntrySeverities;
using ServiceMessages::SERVICE_SOURCE;

} // namespace

Service::Service(const Zym::SmartPtr<Zym::LogCallInterface>& logger, const std::u16string& name,
                 const std::u16string& displayName, unsigned long controlsAccepted,
                 const std::u16string& dependencies)
    : BasicService(logger, name, displayName, dependencies),
      m_Status{Platform::SERVICE_OWN_INTERACTIVE_PROCESS,
               Platform::SERVICE_STOPPED,
               controlsAccepted,
               0,
               0,
               0,
               0} {
    Platform::HoldControlSignals();
}

Service::~Service() {
    m_StatusHandle = nullptr;
    Platform::ReleaseControlSignals();
}

void Service::CustomInstall(bool registerService) {
    if (!registerService)
        return;
    SC_HANDLE manager = nullptr;
    unsigned long error = Platform::OpenServiceManager(manager);
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_INSTALL,
                                          MSG_CALL_OPEN_SC_MANAGER, error);
    const AutoSCHandle managerHandle(manager);
    std::vector<std::u16string> command(1);
    error = Platform::GetProgramPath(command.front());
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_INSTALL,
                                          MSG_CALL_GET_MODULE_FILE_NAME, error);
    command.insert(command.end(), m_StartArguments.begin(), m_StartArguments.end());
    SC_HANDLE service = nullptr;
    error = Platform::CreateServiceEntry(manager, GetName(), GetDisplayName(), command,
                                         GetDependencies(), service);
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_INSTALL,
                                          MSG_CALL_CREATE_SERVICE, error);
    Platform::CloseServiceHandle(service);
}

void Service::CustomUninstall() {
    SC_HANDLE manager = nullptr;
    unsigned long error = Platform::OpenServiceManager(manager);
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                          MSG_CALL_OPEN_SC_MANAGER, error);
    const AutoSCHandle managerHandle(manager);
    SC_HANDLE opened = nullptr;
    error = Platform::OpenServiceEntry(manager, GetName(), opened);
    if (error == Zym::ERROR_SERVICE_DOES_NOT_EXIST)
        return;
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                          MSG_CALL_OPEN_SERVICE, error);
    const AutoSCHandle service(opened);
    unsigned long state = 0;
    error = Platform::QueryServiceState(opened, state);
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                          MSG_CALL_QUERY_SERVICE_STATUS, error);
    if (state != Platform::SERVICE_STOPPED) {
        error = Platform::RequestServiceStop(opened);
        if (error != 0)
            ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                              MSG_CALL_CONTROL_SERVICE, error);
    }
    error = Platform::DeleteServiceEntry(opened);
    if (error != 0)
        ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_UNINSTALL,
                                          MSG_CALL_CONTROL_SERVICE, error);
}

void Service::ContinueStart(bool asService, LPSERVICE_MAIN_FUNCTIONW main,
                            LPHANDLER_FUNCTION handler) {
    Log(ServiceMessages::Progress(SERVICE_SOURCE, __LINE__, MSG_SERVICE_START,
                                  MSG_SERVICE_STARTING),
        Severity::SEVERITY_PROGRESS);
    m_RunsAsService = asService ? 1 : 0;
    BeginRun();
    if (asService) {
        m_HandlerFunction = handler;
        const unsigned long error = Platform::RunControlDispatcher(GetName(), main);
        m_HandlerFunction = nullptr;
        // The status handle lives only as long as the dispatcher.
        m_StatusHandle = nullptr;
        if (error != 0) {
            EndRun();
            ServiceMessages::ThrowCallFailure(SERVICE_SOURCE, __LINE__, MSG_SERVICE_START,
                                              MSG_CALL_START_SERVICE_CTRL_DISPATCHER, error);
        }
    } else {
        try {
            Run();
        } catch (...) {
            EndRun();
            throw;
        }
    }
    EndRun();
    Log(ServiceMessages::Progress(SERVICE_SOURCE, __LINE__, MSG_SERVICE_START, MSG_SERVICE_STOPPED),
        Severity::SEVERITY_PROGRESS);
}

void Service::Main(unsigned long, char16_t**) {
    try {
        if (Platform::RegisterControlHandler(GetName(), m_HandlerFunction, m_StatusHandle) != 0)
            ServiceMessages::ThrowLastErrorText();
        Log(ServiceMessages::Progress(SERVICE_SOURCE, __LINE__, MSG_SERVICE_MAIN,
                                      MSG_SERVICE_START_PENDING),
            Severity::SEVERITY_PROGRESS);
        if (m_StatusHandle && m_RunsAsService) {
            m_Status.dwCurrentState = Platform::SERVICE_START_PENDING;
            if (Platform::ReportServiceStatus(m_StatusHandle, m_Status) != 0)
                ServiceMessages::ThrowLastErrorText();
        }
        Run();
        Log(ServiceMessages::Progress(SERVICE_SOURCE, __LINE__, MSG_SERVICE_MAIN,
                                      MSG_SERVICE_STOPPED),
            Severity::SEVERITY_PROGRESS);
    } catch (const Zym::Exception& error) {
        try {
            Log(ServiceMessages::Phase(SERVICE_SOURCE, __LINE__, MSG_SERVICE_MAIN, error.What()),
                Severity::SEVERITY_ERROR);
        } catch (...) {
        }
    } catch (...) {
        try {
            Log(ServiceMessages::Progress(SERVICE_SOURCE, __LINE__, MSG_SERVICE_MAIN,
                                          MSG_UNKNOWN_EXCEPTION),
                Severity::SEVERITY_ERROR);
        } catch (...) {
        }
    }
    try {
        SetStatus(Platform::SERVICE_STOPPED);
    } catch (...) {
    }
}

void Service::Handler(unsigned long control) {
    try {
        switch (control) {
        case Platform::SERVICE_CONTROL_STOP:
            CtrlStop();
            break;
        case Platform::SERVICE_CONTROL_PAUSE:
            CtrlPause();
            break;
        case Platform::SERVICE_CONTROL_CONTINUE:
            CtrlContinue();
            break;
        case Platform::SERVICE_CONTROL_INTERROGATE:
            CtrlInterrogate();
            break;
        case Platform::SERVICE_CONTROL_SHUTDOWN:
            CtrlShutDown();
            break;
        default:
            break;
        }
    } catch (const Zym::Exception& error) {
        try {
            Log(ServiceMessages::Phase(SERVICE_SOURCE, __LINE__, MSG_SERVICE_HANDLER, error.What()),
                Severity::SEVERITY_ERROR);
        } catch (...) {
        }
    } catch (...) {
        try {
            Log(ServiceMessages::Progress(SERVICE_SOURCE, __LINE__, MSG_SERVICE_HANDLER,
                                          MSG_UNKNOWN_EXCEPTION),
                Severity::SEVERITY_ERROR);
        } catch (...) {
        }
    }
}

void Service::MessageLoop() {
    SetStatus(Platform::SERVICE_RUNNING);
    BasicService::MessageLoop();
    SetStatus(Platform::SERVICE_STOP_PENDING);
}

void Service::SetStatus(unsigned long state) {
    if (!m_StatusHandle || !m_RunsAsService)
        return;
    // The handler's thread reports too, after pause and continue.
    const ZymThread::CriticalSectionGuard guard(m_ControlLock);
    m_Status.dwCurrentState = state;
    if (Platform::ReportServiceStatus(m_StatusHandle, m_Status) != 0)
        ServiceMessages::ThrowLastErrorText();
}

Service::ProcessType Service::GetProcessType(void* const process) {
    ProcessType type = OTHER_PROCESS;
    if (Platform::QueryProcessType(process, type) != 0)
        ServiceMessages::ThrowLastErrorText();
    return type;
}

void* Service::OpenProcessHandle(unsigned long processId) {
    void* process = nullptr;
    if (Platform::OpenProcessHandle(processId, process) != 0)
        ServiceMessages::ThrowLastErrorText();
    return process;
}

void Service::CloseProcessHandle(void* process) noexcept {
    Platform::CloseProcessHandle(process);
}

AutoSCHandle::~AutoSCHandle() {
    if (m_Handle) {
        Platform::CloseServiceHandle(m_Handle);
        m_Handle = nullptr;
    }
}

} // namespace ZymWindows
