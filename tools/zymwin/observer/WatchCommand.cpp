#include "Command.h"
#include "StopRequest.h"
#include "WatchOutput.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/DirectoryObserver.h>
#include <ZymWindows/Exceptions.h>

#include <cstdio>
#include <string>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin watch [-r] [--json] DIR...\n\n"
    "Watches each DIR and prints one line per change until interrupted (Ctrl-C, or\n"
    "SIGTERM on Linux). Once every DIR is watched it prints 'ready'; then\n"
    "  created PATH | deleted PATH | modified PATH   a change (a rename is the old\n"
    "                                                name deleted, the new created)\n"
    "  overflow DIR                                  changes in DIR were lost\n"
    "  error DIR: TEXT                               DIR is no longer watched\n\n"
    "Options:\n"
    "  -r, --recursive  watch each DIR's whole subtree, new directories included\n"
    "  --json           one JSON object a line: {\"id\":N,\"kind\":\"created\",\"path\":\"...\"},\n"
    "                   kinds created, deleted, modified, overflow and error (with\n"
    "                   \"message\")\n\n"
    "A DIR that cannot be watched is reported on stderr; with none watched the\n"
    "command fails. A watched file system that is unmounted is watched again once\n"
    "it is mounted again (tried every 15 s, or $ZYM_OBSERVER_RESTART_MS).\n";

int RunWatch(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    bool recurse = false, json = false, options = true;
    Args directories;
    for (const std::string& arg : args) {
        if (options && (arg == "-r" || arg == "--recursive"))
            recurse = true;
        else if (options && arg == "--json")
            json = true;
        else if (options && arg == "--")
            options = false;
        else if (options && arg.size() > 1 && arg[0] == '-')
            throw UsageError{"unknown option '" + arg + "' (see 'zymwin watch --help')"};
        else
            directories.push_back(arg);
    }
    if (directories.empty())
        throw UsageError{"missing DIR (see 'zymwin watch --help')"};

    // Before the observer's threads start, so that none of them takes the
    // request.
    PrepareForStopRequest();

    WatchPrinter printer(stdout, json);
    ZymWindows::WinNTDirectoryObserver observer;
    int attached = 0;
    for (const std::string& directory : directories) {
        Zym::SmartPtr<WatchSource> source = new WatchSource(printer, directory);
        try {
            source->SetId(
                observer.AttachObserver(ZymCharset::FromUtf8(directory), recurse, source));
            ++attached;
        } catch (const ZymWindows::WindowsException& error) {
            std::fprintf(stderr, "zymwin watch: %s: %s\n", directory.c_str(),
                         error.WhatUtf8().c_str());
        }
    }
    if (attached == 0)
        return 1;
    printer.Ready();
    WaitForStopRequest();
    return 0; // the observer detaches everything as it goes
}

const Registration g_Watch(Command{"watch", "print the changes in directories as they happen",
                                   RunWatch});

} // namespace

} // namespace zymwin
