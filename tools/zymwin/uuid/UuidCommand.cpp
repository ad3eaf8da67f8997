#include "Command.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Uuid.h>

#include <cstdio>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin uuid\n"
    "       zymwin uuid parse TEXT\n"
    "\n"
    "Without arguments, prints a new random UUID. 'parse' prints the canonical\n"
    "form of TEXT: a UUID in the 8-4-4-4-12 hex form, or a ProgID registered\n"
    "under HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\<ProgID>\\CLSID.\n";

int RunUuid(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (args.empty()) {
        std::printf("%s\n", ZymWindows::Uuid::Generate().AsString().c_str());
        return 0;
    }
    if (args.size() != 2 || args[0] != "parse")
        throw UsageError{"expected no arguments or 'parse TEXT' (see 'zymwin uuid --help')"};
    try {
        std::printf("%s\n", ZymWindows::Uuid(args[1]).AsString().c_str());
    } catch (const ZymWindows::WindowsInvalidUUIDStringException&) {
        throw UsageError{"'" + args[1] + "' is neither a UUID nor a registered ProgID"};
    }
    return 0;
}

const Registration g_Uuid(Command{"uuid", "generate a UUID, or parse a UUID or ProgID", RunUuid});

} // namespace

} // namespace zymwin
