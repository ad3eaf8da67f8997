#include "Command.h"
#include "DemoFolder.h"
#include "ScopedVariable.h"
#include "service/ExampleService.h"
#include "service/ProcessTypeName.h"

#include <Zym/BaseLog.h>
#include <ZymCharset/Utf.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/Service.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

namespace zymwin {

namespace {

namespace fs = std::filesystem;

constexpr const char* DEMO_SERVICE = "zymwin-demo";

// Prints each entry indented; says when the service's loop runs.
class DemoLog : public Zym::BaseLog {
public:
    DemoLog() : Zym::BaseLog(false) {}
    ZymThread::EventSemaphore m_Running{true, false};

protected:
    void vOutputLine(const std::u16string&,
                     const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override {
        const std::u16string text = entry->GetText();
        std::printf("  %s\n", ZymCharset::ToUtf8(text).c_str());
        if (text == u"Service::Run; The service is running.")
            m_Running.Set();
    }
};

// A unit folder and a systemctl that says every unit is inactive and
// accepts everything else, so the demo needs neither root nor systemd.
class DemoManager {
public:
    DemoManager() {
        std::ofstream(Systemctl()) << "#!/bin/sh\n[ \"$1\" != is-active ] || echo inactive\n";
        fs::permissions(Systemctl(), fs::perms::owner_all);
        m_Directory.emplace("ZYM_SERVICE_DIR", Path().string());
        m_Systemctl.emplace("ZYM_SYSTEMCTL", Systemctl().string());
    }

    const fs::path& Path() const { return m_Folder.Path(); }

private:
    fs::path Systemctl() const { return Path() / "systemctl"; }

    const DemoFolder m_Folder{"zymwin-service"};
    std::optional<ScopedVariable> m_Directory;
    std::optional<ScopedVariable> m_Systemctl;
};

void ServiceDemo() {
    Zym::SmartPtr<DemoLog> log = new DemoLog;
    {
        const DemoManager manager;
        ExampleService service(log.Get(), DEMO_SERVICE, "ZymWindows demo service", "");
        std::printf("install into %s:\n", manager.Path().c_str());
        service.Install(true);
        std::ifstream unitFile(manager.Path() / (std::string(DEMO_SERVICE) + ".service"));
        const std::string unit(std::istreambuf_iterator<char>(unitFile), {});
        std::printf("the unit %s.service:\n%s", DEMO_SERVICE, unit.c_str());
        std::puts("uninstall:");
        service.Uninstall();
    }

    std::puts("run in console mode, stopped from another thread:");
    ExampleService service(log.Get(), DEMO_SERVICE, "ZymWindows demo service", "");
    std::thread runner([&] { service.Start(false); });
    log->m_Running.Wait();
    service.Stop();
    runner.join();

    std::printf("this process is %s\n",
                ProcessTypeName(ZymWindows::Service::GetProcessType(nullptr)));
}

const Registration g_ServiceDemo(DemoStep{50, "Service hosting", ServiceDemo});

} // namespace

} // namespace zymwin
