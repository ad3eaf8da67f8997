#include "CfbCommands.h"
#include "Command.h"

#include <cstdio>

namespace zymwin {

namespace {

const char* const USAGE =
    "Usage: zymwin cfb ls [--json] FILE\n"
    "       zymwin cfb cat FILE PATH\n"
    "       zymwin cfb props [--json] FILE\n"
    "\n"
    "Reads compound documents (.doc, .xls, .ppt, .msi, .msg and other structured\n"
    "storage files).\n"
    "\n"
    "  ls     every storage and stream below the root, depth first: kind, directory\n"
    "         id, size in bytes and path. Control characters, \"\\\" and \"/\" in names\n"
    "         are shown as \\xHH.\n"
    "  cat    the bytes of the stream at PATH, names separated by \"/\"; \\xHH stands\n"
    "         for a character, as in \\x05SummaryInformation.\n"
    "  props  the document properties of every property set in the file: the\n"
    "         well-known ones first, then those named by the document.\n"
    "\n"
    "Options:\n"
    "  --json  print JSON instead of text\n"
    "  --help  show this help\n";

// Splits the arguments after the subcommand into the --json flag and the rest.
std::vector<std::string> Operands(const Args& args, bool& json) {
    std::vector<std::string> operands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json")
            json = true;
        else if (args[i].size() > 1 && args[i][0] == '-')
            throw UsageError{"unknown option '" + args[i] + "' (see 'zymwin cfb --help')"};
        else
            operands.push_back(args[i]);
    }
    return operands;
}

int RunCfb(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (args.empty())
        throw UsageError{"missing subcommand (see 'zymwin cfb --help')"};
    bool json = false;
    const std::string& sub = args[0];
    const std::vector<std::string> operands = Operands(args, json);
    if (sub == "ls" || sub == "props") {
        if (operands.size() != 1)
            throw UsageError{"usage: zymwin cfb " + sub + " [--json] FILE"};
        return sub == "ls" ? cfb::List(operands[0], json) : cfb::Properties(operands[0], json);
    }
    if (sub == "cat") {
        if (operands.size() != 2 || json)
            throw UsageError{"usage: zymwin cfb cat FILE PATH"};
        return cfb::Cat(operands[0], operands[1]);
    }
    throw UsageError{"unknown subcommand '" + sub + "' (see 'zymwin cfb --help')"};
}

const Registration g_Cfb(Command{"cfb", "list, extract and describe compound documents", RunCfb});

} // namespace

} // namespace zymwin
