// The example service under the system's service control manager (Wine's
// services.exe under Wine), installed and driven from outside as a user
// would: zymwin.exe installs it, the manager starts it and passes it the
// controls, its log comes back from the file it was installed with.
#include "../ServiceTestSupport.h"
#include "TestFiles.h"

#include <ZymCharset/Utf.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <random>
#include <thread>

using namespace servicetest;
namespace fs = std::filesystem;

namespace {

constexpr auto STATE_PATIENCE = std::chrono::seconds(30);

std::string UniqueName() {
    std::random_device random;
    return "zymtest-" + std::to_string(random());
}

std::wstring Wide(const std::string& text) {
    const std::u16string wide = ZymCharset::FromUtf8(text);
    return std::wstring(wide.begin(), wide.end());
}

// A handle of the control manager's.
struct ScHandle {
    SC_HANDLE handle;
    ~ScHandle() {
        if (handle)
            ::CloseServiceHandle(handle);
    }
};

// The state the service reaches, or the last one seen once STATE_PATIENCE
// has passed. The manager has no wait of its own for a state.
DWORD WaitForState(SC_HANDLE service, DWORD wanted) {
    const auto deadline = std::chrono::steady_clock::now() + STATE_PATIENCE;
    SERVICE_STATUS status{};
    while (::QueryServiceStatus(service, &status) && status.dwCurrentState != wanted &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return status.dwCurrentState;
}

DWORD Control(SC_HANDLE service, DWORD control) {
    SERVICE_STATUS status{};
    return ::ControlService(service, control, &status) ? 0 : ::GetLastError();
}

} // namespace

TEST(ControlManager, InstallStartPauseContinueStopUninstall) {
    const zymtest::ScratchDirectory scratch;
    const std::string name = UniqueName();
    const std::string logFile = (scratch.Path() / "service.log").string();
    const auto installed =
        zymtest::RunProcess({ZYMWIN_PATH, "service", "install", name, "--log", logFile});
    ASSERT_EQ(installed.status, 0) << installed.err;

    const ScHandle manager{::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    ASSERT_NE(manager.handle, nullptr);
    {
        // Closed before the uninstall: a deleted service goes with its last
        // handle.
        const ScHandle service{
            ::OpenServiceW(manager.handle, Wide(name).c_str(), SERVICE_ALL_ACCESS)};
        ASSERT_NE(service.handle, nullptr) << ::GetLastError();
        DWORD size = 0;
        ::QueryServiceConfigW(service.handle, nullptr, 0, &size);
        std::vector<char> config(size);
        auto* settings = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
        ASSERT_TRUE(::QueryServiceConfigW(service.handle, settings, size, &size));
        EXPECT_EQ(settings->dwServiceType, 0x110u);
        EXPECT_EQ(settings->dwStartType, DWORD(SERVICE_DEMAND_START));
        EXPECT_TRUE(
            std::wstring(settings->lpBinaryPathName)
                .ends_with(L"zymwin.exe service run " + Wide(name) + L" --log " + Wide(logFile)))
            << ZymCharset::ToUtf8(
                   std::u16string(settings->lpBinaryPathName,
                                  settings->lpBinaryPathName + wcslen(settings->lpBinaryPathName)));

        ASSERT_TRUE(::StartServiceW(service.handle, 0, nullptr)) << ::GetLastError();
        EXPECT_EQ(WaitForState(service.handle, SERVICE_RUNNING), DWORD(SERVICE_RUNNING));
        EXPECT_EQ(Control(service.handle, SERVICE_CONTROL_PAUSE), 0u);
        EXPECT_EQ(WaitForState(service.handle, SERVICE_PAUSED), DWORD(SERVICE_PAUSED));
        EXPECT_EQ(Control(service.handle, SERVICE_CONTROL_CONTINUE), 0u);
        EXPECT_EQ(WaitForState(service.handle, SERVICE_RUNNING), DWORD(SERVICE_RUNNING));
        EXPECT_EQ(Control(service.handle, SERVICE_CONTROL_STOP), 0u);
        EXPECT_EQ(WaitForState(service.handle, SERVICE_STOPPED), DWORD(SERVICE_STOPPED));

        // The worker's ticks come every few seconds, whenever the run lasts.
        std::vector<std::string> lines;
        for (const std::string& line : zymtest::SplitLines(zymtest::ReadFile(logFile)))
            if (!line.starts_with("Example service: tick"))
                lines.push_back(line);
        Lines expected = COMPLETE_RUN;
        expected.insert(expected.begin() + 3,
                        {"Example service: paused.", "Example service: continued."});
        EXPECT_EQ(lines, expected);
    }

    const auto removed = zymtest::RunProcess({ZYMWIN_PATH, "service", "uninstall", name});
    EXPECT_EQ(removed.status, 0) << removed.err;
    const ScHandle gone{::OpenServiceW(manager.handle, Wide(name).c_str(), SERVICE_QUERY_STATUS)};
    EXPECT_EQ(gone.handle, nullptr);
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
}

// Install(false) removes the registration that Install(true) made, and
// registers nothing.
TEST(ControlManager, InstallWithoutRegisteringOnlyRemoves) {
    const std::string name = UniqueName();
    Zym::SmartPtr<RecordingLog> log = new RecordingLog;
    ConsoleService service(log.Get(), ZymCharset::FromUtf8(name));
    service.Install(true);
    const ScHandle manager{::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    {
        const ScHandle registered{
            ::OpenServiceW(manager.handle, Wide(name).c_str(), SERVICE_QUERY_STATUS)};
        EXPECT_NE(registered.handle, nullptr);
    }
    log->Take();
    service.Install(false);
    const ScHandle gone{::OpenServiceW(manager.handle, Wide(name).c_str(), SERVICE_QUERY_STATUS)};
    EXPECT_EQ(gone.handle, nullptr);
    EXPECT_EQ(log->Take(), Informational(INSTALL_LOG));
}

TEST(ControlManager, ATestProcessIsInteractive) {
    EXPECT_EQ(ZymWindows::Service::GetProcessType(nullptr),
              ZymWindows::Service::INTERACTIVE_PROCESS);
}
