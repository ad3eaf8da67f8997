#include "Arguments.h"
#include "Command.h"
#include "StandardStreams.h"

#include <algorithm>
#include <cstdio>

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs("Usage: zymwin COMMAND [ARGS...]\n\n"
               "Windows-platform services of the ZymWindows library, from the command line.\n\n"
               "Commands:\n",
               out);
    auto commands = zymwin::Commands();
    std::sort(commands.begin(), commands.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& command : commands)
        std::fprintf(out, "  %-10s %s\n", command.name.c_str(), command.summary.c_str());
    std::fputs("\nRun 'zymwin COMMAND --help' for the options of a command.\n", out);
}

} // namespace

int main(int argc, char** argv) {
    zymwin::UseBinaryStandardStreams();
    const std::vector<std::string> arguments = zymwin::Utf8Arguments(argc, argv);
    if (arguments.size() < 2) {
        PrintUsage(stderr);
        return 1;
    }
    const std::string name = arguments[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    const auto& commands = zymwin::Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const auto& c) { return c.name == name; });
    if (command == commands.end()) {
        std::fprintf(stderr, "zymwin: unknown command '%s' (see 'zymwin --help')\n", name.c_str());
        return 1;
    }
    try {
        return command->run(zymwin::Args(arguments.begin() + 2, arguments.end()));
    } catch (...) {
        std::fprintf(stderr, "zymwin %s: %s\n", name.c_str(),
                     zymwin::CurrentErrorMessage().c_str());
    }
    return 1;
}
