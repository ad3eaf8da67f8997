// Install(false) with the systemd stand-in: an existing unit goes.
#include "../ServiceTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace servicetest;
namespace fs = std::filesystem;

TEST(ServiceLibrary, InstallWithoutRegisteringOnlyRemoves) {
    const zymtest::ScratchDirectory scratch;
    const fs::path systemctl = scratch.Path() / "systemctl";
    zymtest::WriteFile(systemctl, "#!/bin/sh\n[ \"$1\" != is-active ] || echo inactive\n");
    fs::permissions(systemctl, fs::perms::owner_all);
    const zymtest::ScopedEnvironment units("ZYM_SERVICE_DIR", scratch.Path());
    const zymtest::ScopedEnvironment manager("ZYM_SYSTEMCTL", systemctl);
    zymtest::WriteFile(scratch.Path() / "console.service", "[Service]\nExecStart=/bin/true\n");

    Zym::SmartPtr<RecordingLog> log = new RecordingLog;
    ConsoleService service(log.Get());
    service.Install(false);
    EXPECT_FALSE(fs::exists(scratch.Path() / "console.service"));
    EXPECT_EQ(log->Take(), (Lines{
                               "Service::Install; Installing the service... [0]",
                               "Service::Uninstall; Uninstalling the service... [0]",
                               "Service::Uninstall; The service is uninstalled. [0]",
                               "Service::Install; The service is installed. [0]",
                           }));
}
