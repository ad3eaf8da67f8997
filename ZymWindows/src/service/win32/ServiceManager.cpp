#include "service/ServicePlatform.h"

#include <windows.h>

namespace ZymWindows::Platform {

namespace {

::SC_HANDLE Native(SC_HANDLE handle) noexcept {
    return reinterpret_cast<::SC_HANDLE>(handle);
}

SC_HANDLE Ours(::SC_HANDLE handle) noexcept {
    return reinterpret_cast<SC_HANDLE>(handle);
}

const wchar_t* Wide(const char16_t* text) noexcept {
    return reinterpret_cast<const wchar_t*>(text);
}

// The failed call's error, left as the last error too.
unsigned long LastError() noexcept {
    return ::GetLastError();
}

// An argument as the program's command line reads it back: quoted when it
// holds a space, a tab or a quote, with its quotes and the backslashes
// before them escaped.
std::u16string QuotedArgument(const std::u16string& argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos)
        return argument;
    std::u16string quoted = u"\"";
    std::size_t backslashes = 0;
    for (const char16_t unit : argument) {
        if (unit == u'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(unit == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += unit;
    }
    quoted.append(2 * backslashes, u'\\');
    return quoted + u"\"";
}

} // namespace

unsigned long OpenServiceManager(SC_HANDLE& manager) {
    const ::SC_HANDLE opened = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!opened)
        return LastError();
    manager = Ours(opened);
    return 0;
}

// The program's path goes in as the system returned it, unquoted; only the
// arguments after it are quoted where they need it.
unsigned long CreateServiceEntry(SC_HANDLE manager, const std::u16string& name,
                                 const std::u16string& displayName,
                                 const std::vector<std::u16string>& command,
                                 const char16_t* dependencies, SC_HANDLE& service) {
    std::u16string commandLine = command.empty() ? std::u16string() : command.front();
    for (std::size_t i = 1; i < command.size(); ++i)
        commandLine += u" " + QuotedArgument(command[i]);
    const ::SC_HANDLE created = ::CreateServiceW(
        Native(manager), Wide(name.c_str()), Wide(displayName.c_str()), SERVICE_ALL_ACCESS,
        SERVICE_OWN_INTERACTIVE_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
        Wide(commandLine.c_str()), nullptr, nullptr, Wide(dependencies), nullptr, nullptr);
    if (!created)
        return LastError();
    service = Ours(created);
    return 0;
}

unsigned long OpenServiceEntry(SC_HANDLE manager, const std::u16string& name, SC_HANDLE& service) {
    const ::SC_HANDLE opened = ::OpenServiceW(Native(manager), Wide(name.c_str()),
                                              DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!opened)
        return LastError();
    service = Ours(opened);
    return 0;
}

unsigned long QueryServiceState(SC_HANDLE service, unsigned long& state) {
    ::SERVICE_STATUS status{};
    if (!::QueryServiceStatus(Native(service), &status))
        return LastError();
    state = status.dwCurrentState;
    return 0;
}

unsigned long RequestServiceStop(SC_HANDLE service) {
    ::SERVICE_STATUS status{};
    return ::ControlService(Native(service), SERVICE_CONTROL_STOP, &status) ? 0 : LastError();
}

unsigned long DeleteServiceEntry(SC_HANDLE service) {
    return ::DeleteService(Native(service)) ? 0 : LastError();
}

void CloseServiceHandle(SC_HANDLE handle) noexcept {
    if (handle)
        ::CloseServiceHandle(Native(handle));
}

unsigned long GetProgramPath(std::u16string& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0)
        return LastError();
    path.assign(reinterpret_cast<const char16_t*>(buffer), length);
    return 0;
}

} // namespace ZymWindows::Platform
