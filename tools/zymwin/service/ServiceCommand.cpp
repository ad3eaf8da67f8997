#include "Command.h"
#include "ExampleService.h"
#include "ProcessTypeName.h"
#include "ServiceUsage.h"
#include "StderrLog.h"
#include "StopOnSignal.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Service.h>

#include <cstdio>
#include <string>

namespace zymwin {

namespace {

constexpr const char* DEFAULT_DISPLAY = "ZymWindows example service";

const std::string& NameOf(const Args& args) {
    if (args.size() < 2)
        throw UsageError{args[0] + " takes a service NAME (see 'zymwin service --help')"};
    return args[1];
}

int Install(const Args& args) {
    const std::string& name = NameOf(args);
    std::string display = DEFAULT_DISPLAY, depends, logFile;
    // Options come in pairs: the option, then its value.
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (args[i] != "--display" && args[i] != "--depends" && args[i] != "--log")
            throw UsageError{"unexpected argument '" + args[i] + "'"};
        if (i + 1 == args.size())
            throw UsageError{args[i] + " needs a value"};
        (args[i] == "--display"   ? display
         : args[i] == "--depends" ? depends
                                  : logFile) = args[i + 1];
    }
    ExampleService service(new StderrLog, name, display, depends, logFile);
    service.Install(true);
    return 0;
}

int Uninstall(const Args& args) {
    if (args.size() != 2)
        throw UsageError{"uninstall takes one service NAME"};
    ExampleService service(new StderrLog, NameOf(args), DEFAULT_DISPLAY, "");
    service.Uninstall();
    return 0;
}

// Closes the log file once the service that writes to it is gone.
struct LogFile {
    std::FILE* file;
    ~LogFile() {
        if (file != stderr)
            std::fclose(file);
    }
};

int Run(const Args& args) {
    if (args.size() != 2 && (args.size() != 4 || args[2] != "--log"))
        throw UsageError{"run takes one service NAME and optionally --log FILE"};
    const LogFile log{args.size() == 4 ? std::fopen(args[3].c_str(), "a") : stderr};
    if (!log.file)
        throw UsageError{"cannot append to '" + args[3] + "'"};
    ExampleService service(new StderrLog(log.file), NameOf(args), DEFAULT_DISPLAY, "");
    service.Start(true);
    return 0;
}

int Console(const Args& args) {
    if (args.size() != 2)
        throw UsageError{"console takes one service NAME"};
    ExampleService service(new StderrLog, NameOf(args), DEFAULT_DISPLAY, "");
    const StopOnSignal stopper(service);
    service.Start(false);
    return 0;
}

int Type(const Args& args) {
    if (args.size() > 2)
        throw UsageError{"type takes at most one PID"};
    void* process = nullptr;
    if (args.size() == 2) {
        std::size_t used = 0;
        unsigned long id = 0;
        try {
            id = std::stoul(args[1], &used);
        } catch (const std::exception&) {
        }
        if (id == 0 || used != args[1].size())
            throw UsageError{"'" + args[1] + "' is not a process id"};
        process = ZymWindows::Service::OpenProcessHandle(id);
    }
    ZymWindows::Service::ProcessType type = ZymWindows::Service::OTHER_PROCESS;
    try {
        type = ZymWindows::Service::GetProcessType(process);
    } catch (...) {
        ZymWindows::Service::CloseProcessHandle(process);
        throw;
    }
    ZymWindows::Service::CloseProcessHandle(process);
    std::puts(ProcessTypeName(type));
    return 0;
}

int RunAction(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(SERVICE_USAGE, stdout);
        return 0;
    }
    if (args.empty())
        throw UsageError{"missing action (see 'zymwin service --help')"};
    const std::string& action = args[0];
    if (action == "install")
        return Install(args);
    if (action == "uninstall")
        return Uninstall(args);
    if (action == "run")
        return Run(args);
    if (action == "console")
        return Console(args);
    if (action == "type")
        return Type(args);
    throw UsageError{"unknown action '" + action + "' (see 'zymwin service --help')"};
}

// A failed call's code is the thread's last error; the message names the
// call, this adds what went wrong.
int RunService(const Args& args) {
    try {
        return RunAction(args);
    } catch (const ZymWindows::WindowsException& error) {
        if (!error.Info())
            throw;
        throw UsageError{error.WhatUtf8() + ": " + ZymCharset::ToUtf8(Zym::GetLastErrorMessage(0))};
    }
}

const Registration g_Service(Command{"service", "install, run and control a service", RunService});

} // namespace

} // namespace zymwin
