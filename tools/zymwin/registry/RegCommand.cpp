#include "RegCommands.h"

#include <cstdio>
#include <string>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin reg OPERATION ARGS...\n"
    "\n"
    "Reads and writes the registry, with the arguments of the Windows reg command.\n"
    "KEY is ROOT\\SubKey with ROOT one of HKLM, HKCU, HKCR, HKU, HKCC (or their\n"
    "long names, such as HKEY_CURRENT_USER).\n"
    "\n"
    "  query KEY [/v NAME | /ve] [/s]\n"
    "      Lists the key's values and sub keys; /v or /ve one value (/ve: the\n"
    "      default value); /s the whole subtree.\n"
    "  add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "      Creates the key, or writes a value. TYPE: REG_SZ (default),\n"
    "      REG_EXPAND_SZ, REG_MULTI_SZ (strings split at SEPARATOR, default \\0),\n"
    "      REG_DWORD, REG_QWORD (decimal or 0x hex), REG_BINARY, REG_NONE (hex\n"
    "      digits). /f overwrites an existing value without asking.\n"
    "  delete KEY [/v NAME | /ve] [/f]\n"
    "      Deletes the key with its subtree, or one value. /f does not ask.\n"
    "  export KEY FILE [/y]\n"
    "      Writes the key and its subtree to a .reg file (UTF-16LE). /y\n"
    "      overwrites an existing file without asking.\n"
    "  import FILE\n"
    "      Applies a .reg file (\"Windows Registry Editor Version 5.00\", UTF-16 or\n"
    "      UTF-8): all of it, or nothing when a line is malformed.\n"
    "\n"
    "The store is in $ZYM_REGISTRY_DIR when set (see README.md).\n";

int RunReg(const Args& args) {
    if (args.empty() || args.front() == "--help" || args.front() == "-h") {
        std::fputs(USAGE, args.empty() ? stderr : stdout);
        return args.empty() ? 1 : 0;
    }
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    const Args rest(args.begin() + 1, args.end());
    std::string operation = args.front();
    for (char& c : operation)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (operation == "query")
        return reg::Query(rest);
    if (operation == "add")
        return reg::Add(rest);
    if (operation == "delete")
        return reg::Delete(rest);
    if (operation == "export")
        return reg::Export(rest);
    if (operation == "import")
        return reg::Import(rest);
    throw UsageError{"unknown operation '" + args.front() + "' (see 'zymwin reg --help')"};
}

const Registration g_Reg(Command{"reg", "query, add, delete, export and import registry keys",
                                 RunReg});

} // namespace

} // namespace zymwin
