#include "Command.h"
#include "ImpersonatedWork.h"
#include "LogonNotes.h"

#include <ZymCharset/Utf.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin impersonate [--domain DOMAIN] USER [--touch FILE] [--pipe NAME MESSAGE]\n\n"
    "Logs USER on with the password on the first line of standard input and acts as\n"
    "that account on a worker thread, while the rest of the process keeps its own.\n"
    "Prints the SIDs of the worker's user and primary group (thread user=SID\n"
    "group=SID), the main thread's user meanwhile (process user=SID), what it did,\n"
    "and the worker's SIDs once the scope has ended (reverted user=SID group=SID).\n\n"
    "  --domain DOMAIN     the account's domain: empty, '.' or this computer's name\n"
    "                      for a local account (default), else passed as USER@DOMAIN\n"
    "  --touch FILE        create FILE as the account\n"
    "  --pipe NAME MESSAGE send MESSAGE over \\\\.\\pipe\\NAME as a client that reports\n"
    "                      the account, and print the reply\n\n";

ImpersonatedWork Parse(const Args& args) {
    ImpersonatedWork work;
    std::string user;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 == args.size())
                throw UsageError{arg + " needs a value"};
            return args[++i];
        };
        if (arg == "--domain") {
            work.domain = ZymCharset::FromUtf8(value());
        } else if (arg == "--touch") {
            work.touch = value();
        } else if (arg == "--pipe") {
            work.pipeName = value();
            work.message = value();
        } else if (user.empty() && !arg.starts_with("--")) {
            user = arg;
        } else {
            throw UsageError{"unexpected argument '" + arg + "' (see 'zymwin impersonate --help')"};
        }
    }
    if (user.empty())
        throw UsageError{"missing USER (see 'zymwin impersonate --help')"};
    work.user = ZymCharset::FromUtf8(user);
    return work;
}

int RunImpersonate(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        std::fputs(LOGON_NOTES, stdout);
        return 0;
    }
    ImpersonatedWork work = Parse(args);
    std::string password;
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    work.password = ZymCharset::FromUtf8(password);
    RunImpersonated(work, stdout);
    return 0;
}

const Registration g_Impersonate(Command{
    "impersonate", "act as another account on one thread (password on stdin)", RunImpersonate});

} // namespace

} // namespace zymwin
