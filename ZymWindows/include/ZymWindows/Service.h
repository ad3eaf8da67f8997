#pragma once

#include <ZymWindows/Export.h>

#include <Zym/Log.h>
#include <Zym/MessageInfo.h>
#include <Zym/SmartPtr.h>
#include <ZymThread/CriticalSection.h>

#include <string>
#include <vector>

namespace ZymWindows {

// The service manager's types, as the Win32 service API names them.
struct ServiceControlHandle;
struct ServiceStatusTarget;
using SC_HANDLE = ServiceControlHandle*;
using SERVICE_STATUS_HANDLE = ServiceStatusTarget*;
using LPSERVICE_MAIN_FUNCTIONW = void (*)(unsigned long argc, char16_t** argv);
using LPHANDLER_FUNCTION = void (*)(unsigned long control);

struct SERVICE_STATUS {
    unsigned long dwServiceType;
    unsigned long dwCurrentState;
    unsigned long dwControlsAccepted;
    unsigned long dwWin32ExitCode;
    unsigned long dwServiceSpecificExitCode;
    unsigned long dwCheckPoint;
    unsigned long dwWaitHint;
};

// Closes a service manager handle on scope exit.
class ZYMWINDOWS_EXPORT AutoSCHandle {
public:
    explicit AutoSCHandle(SC_HANDLE handle = nullptr) noexcept : m_Handle(handle) {}
    ~AutoSCHandle();
    AutoSCHandle(const AutoSCHandle&) = delete;
    AutoSCHandle& operator=(const AutoSCHandle&) = delete;

    SC_HANDLE Get() const noexcept { return m_Handle; }

private:
    SC_HANDLE m_Handle;
};

// The parts of a service that need no service manager: its names, its
// installation steps, its run and its message loop. Every step is logged
// to the optional logger.
class ZYMWINDOWS_EXPORT BasicService {
public:
    // `dependencies` names the services this one needs, separated by commas.
    BasicService(const Zym::SmartPtr<Zym::LogCallInterface>& logger, const std::u16string& name,
                 const std::u16string& displayName, const std::u16string& dependencies);
    virtual ~BasicService();
    BasicService(const BasicService&) = delete;
    BasicService& operator=(const BasicService&) = delete;

    // Removes any earlier registration, then registers (with
    // `registerService` set). Serialised with Uninstall.
    void Install(bool registerService);
    void Uninstall();
    // Ends the message loop. A stop that comes before the loop runs is
    // kept until the loop starts, which then ends at once; one that comes
    // after the service has ended only logs.
    void Stop();

    // Starts the service: under the service manager when `asService` is
    // set, else on the calling thread. The derived class supplies the entry
    // points that reach its one object (see Service::ContinueStart).
    virtual void Start(bool asService) = 0;

protected:
    virtual void CustomInstall(bool registerService);
    virtual void CustomUninstall();
    virtual void CustomInitialize();
    virtual void CustomUninitialize();
    // CustomInitialize, the message loop, CustomUninitialize; a derived
    // class overrides it and calls this one.
    virtual void Run() = 0;
    // Serves the calling thread's message queue until WM_QUIT.
    virtual void MessageLoop();
    virtual void CtrlStop();
    virtual void CtrlPause();
    virtual void CtrlContinue();
    virtual void CtrlInterrogate();
    virtual void CtrlShutDown();

    void Log(const std::u16string& text,
             Zym::LogEntryCallInterface::EntrySeverities severity) const;
    void Log(const Zym::SmartPtr<Zym::MessageInfo>& message,
             Zym::LogEntryCallInterface::EntrySeverities severity) const;
    Zym::SmartPtr<Zym::LogCallInterface> GetLogger() const { return m_Logger; }
    const char16_t* GetName() const noexcept { return m_Name.c_str(); }
    const char16_t* GetDisplayName() const noexcept { return m_DisplayName.c_str(); }
    // The dependencies as a list of zero-terminated names ended by a
    // further zero (no dependencies: two zeros).
    const char16_t* GetDependencies() const noexcept { return m_Dependencies.data(); }

private:
    // Marks the start and the end of one run of the service: a stop that
    // comes before its loop is held for it, one after its end is void.
    void BeginRun();
    void EndRun();

    std::u16string m_Name;
    std::u16string m_DisplayName;
    std::vector<char16_t> m_Dependencies;
    // The loop's thread, and the stop held for it; guarded by m_ControlLock.
    unsigned long m_MessageLoopThread = 0;
    bool m_StopPending = false;
    bool m_RunEnded = false;
    ZymThread::CriticalSection m_InstallLock{4000};
    ZymThread::CriticalSection m_ControlLock{4000};
    Zym::SmartPtr<Zym::LogCallInterface> m_Logger;

    friend class Service;
};

// A service under the system's service manager: registration, the start
// dispatch, the control handler and status reports.
class ZYMWINDOWS_EXPORT Service : public BasicService {
public:
    enum ProcessType {
        INTERACTIVE_PROCESS = 1,
        SERVICE_PROCESS = 2,
        OTHER_PROCESS = 4,
    };

    // `controlsAccepted`: SERVICE_ACCEPT_* bits (stop 1, pause and continue
    // 2, shutdown 4).
    Service(const Zym::SmartPtr<Zym::LogCallInterface>& logger, const std::u16string& name,
            const std::u16string& displayName, unsigned long controlsAccepted,
            const std::u16string& dependencies);
    ~Service() override;

    // How process `process` (a handle from OpenProcessHandle, or null for
    // the calling process) was started.
    static ProcessType GetProcessType(void* const process);
    // A handle for GetProcessType of another process; raises
    // WindowsException when the process does not exist. Close it with
    // CloseProcessHandle.
    static void* OpenProcessHandle(unsigned long processId);
    static void CloseProcessHandle(void* process) noexcept;

protected:
    void CustomInstall(bool registerService) override;
    void CustomUninstall() override;
    void MessageLoop() override;

    // Runs the service. With `asService`, this thread serves the service
    // manager's controls (calling `handler`) while the manager runs `main`
    // on a thread of its own, until the service has stopped; `main` and
    // `handler` are to call Main and Handler of this object. Without it,
    // Run is called on this thread.
    void ContinueStart(bool asService, LPSERVICE_MAIN_FUNCTIONW main, LPHANDLER_FUNCTION handler);
    void Main(unsigned long argc, char16_t** argv);
    void Handler(unsigned long control);

    // Arguments that the installed service is started with after the
    // program's path (none unless set).
    void SetStartArguments(const std::vector<std::u16string>& arguments) {
        m_StartArguments = arguments;
    }

private:
    void SetStatus(unsigned long state);

    LPHANDLER_FUNCTION m_HandlerFunction = nullptr;
    SERVICE_STATUS_HANDLE m_StatusHandle = nullptr;
    SERVICE_STATUS m_Status;
    int m_RunsAsService = 0;
    std::vector<std::u16string> m_StartArguments;
};

} // namespace ZymWindows
