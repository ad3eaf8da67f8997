#pragma once

#include "ZymWindows/Service.h"

#include <string>
#include <vector>

// What the service family asks of the operating system's service manager.
// Every function reports failure as a Win32 error number, also left as the
// thread's last error.
namespace ZymWindows::Platform {

// Service states, as reported and queried.
inline constexpr unsigned long SERVICE_STOPPED = 1;
inline constexpr unsigned long SERVICE_START_PENDING = 2;
inline constexpr unsigned long SERVICE_STOP_PENDING = 3;
inline constexpr unsigned long SERVICE_RUNNING = 4;
inline constexpr unsigned long SERVICE_CONTINUE_PENDING = 5;
inline constexpr unsigned long SERVICE_PAUSE_PENDING = 6;
inline constexpr unsigned long SERVICE_PAUSED = 7;

// Control codes and the bits that accept them.
inline constexpr unsigned long SERVICE_CONTROL_STOP = 1;
inline constexpr unsigned long SERVICE_CONTROL_PAUSE = 2;
inline constexpr unsigned long SERVICE_CONTROL_CONTINUE = 3;
inline constexpr unsigned long SERVICE_CONTROL_INTERROGATE = 4;
inline constexpr unsigned long SERVICE_CONTROL_SHUTDOWN = 5;
inline constexpr unsigned long SERVICE_ACCEPT_STOP = 0x1;
inline constexpr unsigned long SERVICE_ACCEPT_PAUSE_CONTINUE = 0x2;
inline constexpr unsigned long SERVICE_ACCEPT_SHUTDOWN = 0x4;

// A service of its own process that may interact with the desktop.
inline constexpr unsigned long SERVICE_OWN_INTERACTIVE_PROCESS = 0x110;

// OpenSCManager on the local machine's active database.
unsigned long OpenServiceManager(SC_HANDLE& manager);

// CreateService for a demand-started service of its own process that runs
// `command` (the program, then its arguments) and needs the services of
// the multi-string `dependencies`. ERROR_SERVICE_EXISTS when one of that
// name is registered.
unsigned long CreateServiceEntry(SC_HANDLE manager, const std::u16string& name,
                                 const std::u16string& displayName,
                                 const std::vector<std::u16string>& command,
                                 const char16_t* dependencies, SC_HANDLE& service);

// OpenService: ERROR_SERVICE_DOES_NOT_EXIST when none of that name is
// registered.
unsigned long OpenServiceEntry(SC_HANDLE manager, const std::u16string& name, SC_HANDLE& service);

// QueryServiceStatus: the current state.
unsigned long QueryServiceState(SC_HANDLE service, unsigned long& state);

// ControlService with SERVICE_CONTROL_STOP; does not wait for the stop.
unsigned long RequestServiceStop(SC_HANDLE service);

// DeleteService.
unsigned long DeleteServiceEntry(SC_HANDLE service);

void CloseServiceHandle(SC_HANDLE handle) noexcept;

// GetModuleFileName of the running program.
unsigned long GetProgramPath(std::u16string& path);

// From the first service object's construction to the last one's
// destruction, the control signals of a process that a manager started go
// to the dispatcher instead of ending the process: ones that come before
// the dispatcher starts wait for it, ones after it has returned are void.
void HoldControlSignals() noexcept;
void ReleaseControlSignals() noexcept;

// StartServiceCtrlDispatcher for the one service of this process: the
// manager runs `main` on a thread of its own while this thread calls the
// registered handler for each control, until `main` has returned.
// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the process was not started
// by a service manager.
unsigned long RunControlDispatcher(const char16_t* name, LPSERVICE_MAIN_FUNCTIONW main);

// RegisterServiceCtrlHandler, from the service's main function.
unsigned long RegisterControlHandler(const char16_t* name, LPHANDLER_FUNCTION handler,
                                     SERVICE_STATUS_HANDLE& status);

// SetServiceStatus.
unsigned long ReportServiceStatus(SERVICE_STATUS_HANDLE status, const SERVICE_STATUS& report);

// How a process was started (Service::ProcessType values); null is the
// calling process.
unsigned long QueryProcessType(void* process, Service::ProcessType& type);
unsigned long OpenProcessHandle(unsigned long processId, void*& process);
void CloseProcessHandle(void* process) noexcept;

} // namespace ZymWindows::Platform
