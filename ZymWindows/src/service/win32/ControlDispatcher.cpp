#include "service/ServicePlatform.h"

#include <windows.h>

#include <cstring>

namespace ZymWindows::Platform {

// The control manager sends controls to the dispatcher of a process it
// started, and nothing else reaches a service: there is nothing to hold.
void HoldControlSignals() noexcept {}

void ReleaseControlSignals() noexcept {}

unsigned long RunControlDispatcher(const char16_t* name, LPSERVICE_MAIN_FUNCTIONW main) {
    // The system's entry points take the same arguments as ours.
    const SERVICE_TABLE_ENTRYW table[] = {
        {const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(name)),
         reinterpret_cast<::LPSERVICE_MAIN_FUNCTIONW>(main)},
        {nullptr, nullptr},
    };
    return ::StartServiceCtrlDispatcherW(table) ? 0 : ::GetLastError();
}

unsigned long RegisterControlHandler(const char16_t* name, LPHANDLER_FUNCTION handler,
                                     SERVICE_STATUS_HANDLE& status) {
    const ::SERVICE_STATUS_HANDLE registered = ::RegisterServiceCtrlHandlerW(
        reinterpret_cast<const wchar_t*>(name), reinterpret_cast<::LPHANDLER_FUNCTION>(handler));
    if (!registered)
        return ::GetLastError();
    status = reinterpret_cast<SERVICE_STATUS_HANDLE>(registered);
    return 0;
}

unsigned long ReportServiceStatus(SERVICE_STATUS_HANDLE status, const SERVICE_STATUS& report) {
    ::SERVICE_STATUS native{};
    static_assert(sizeof native == sizeof report);
    std::memcpy(&native, &report, sizeof native);
    return ::SetServiceStatus(reinterpret_cast<::SERVICE_STATUS_HANDLE>(status), &native)
               ? 0
               : ::GetLastError();
}

} // namespace ZymWindows::Platform
