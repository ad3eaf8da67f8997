#include "Command.h"
#include "DumpCrash.h"

#include <ZymWindows/ProcessDump.h>

#include <cstdio>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin dump report [PATH]\n"
    "       zymwin dump crash [--in-thread NAME] [--core] DIR\n"
    "\n"
    "'report' writes a crash report of zymwin itself (every thread's call stack,\n"
    "none marked) to PATH, or to a time-stamped file in the current directory,\n"
    "and prints the path. A PATH ending in '/' is a directory.\n"
    "\n"
    "'crash' installs the crash handler with DIR as its destination, starts the\n"
    "worker threads DumpWorker-1 and DumpWorker-2 and dereferences a null\n"
    "pointer in the main thread, or with --in-thread in the worker NAME (a name\n"
    "other than theirs renames DumpWorker-1). The handler writes the report\n"
    "(and with --core a core file; on Windows a minidump of the threads'\n"
    "stacks), prints 'report: PATH' (and 'core: PATH') for each file written on\n"
    "stderr, and the process dies of the crash: SIGSEGV on Linux, exit code\n"
    "0xC0000005 on Windows.\n";

int Report(const Args& args) {
    if (args.size() > 2)
        throw UsageError{"expected at most one PATH (see 'zymwin dump --help')"};
    ZymWindows::ProcessDump dump;
    std::printf("%s\n", dump.Write(args.size() == 2 ? args[1] : std::string()).c_str());
    return 0;
}

int Crash(const Args& args) {
    std::string thread;
    bool core = false;
    std::string directory;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--core") {
            core = true;
        } else if (args[i] == "--in-thread") {
            if (++i == args.size() || args[i].empty())
                throw UsageError{"--in-thread needs a thread name"};
            thread = args[i];
        } else if (directory.empty() && !args[i].empty() && args[i][0] != '-') {
            directory = args[i];
        } else {
            throw UsageError{"unexpected argument '" + args[i] + "' (see 'zymwin dump --help')"};
        }
    }
    if (directory.empty())
        throw UsageError{"expected the destination DIR (see 'zymwin dump --help')"};
    CrashWithWorkers(directory, core, thread);
}

int RunDump(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (!args.empty() && args[0] == "report")
        return Report(args);
    if (!args.empty() && args[0] == "crash")
        return Crash(args);
    throw UsageError{"expected 'report' or 'crash' (see 'zymwin dump --help')"};
}

const Registration g_Dump(Command{"dump", "write a crash report, or crash on purpose", RunDump});

} // namespace

} // namespace zymwin
