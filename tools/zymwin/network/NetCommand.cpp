#include "Command.h"
#include "NetQueries.h"

#include <Zym/Exception.h>
#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/NTNetwork.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>

namespace zymwin {

namespace {

constexpr const char* USAGE_HEAD =
    "Usage: zymwin net [--repeat N] [--clear] QUERY [ARGS...]\n\n"
    "Asks the network (or this computer's account database) and prints one result\n"
    "per line: identities as SID<TAB>DOMAIN\\NAME, shares as SERVER\\share, names\n"
    "lower-cased. Answers are cached for the life of the process.\n\n"
    "  --repeat N  run the query N times in this process (the cache at work)\n"
    "  --clear     empty the caches between repeats\n\n"
    "Queries:\n";

constexpr const char* USAGE_TAIL =
    "\nAn empty MACHINE is this computer. On Windows the system answers for every\n"
    "machine and domain, as the logged-on user. On Linux, machines and domains\n"
    "other than this computer are asked through Samba (/etc/samba/smb.conf), as\n"
    "ZYM_NET_USER (DOMAIN\\user or user) with ZYM_NET_PASSWORD, else with the\n"
    "Kerberos ticket cache, else anonymously; every network step ends within\n"
    "ZYM_NET_TIMEOUT_MS.\n"
    "A failure prints 'zymwin net: EXCEPTION: TEXT' and exits with status 1.\n";

void PrintUsage() {
    std::fputs(USAGE_HEAD, stdout);
    for (const NetQuery& query : NetQueries())
        std::printf("  %s %s\n", query.name.c_str(), query.arguments.c_str());
    std::fputs(USAGE_TAIL, stdout);
}

// The class name of an exception, without its namespace.
std::string ClassName(const std::type_info& type) {
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    const std::size_t scope = name.rfind("::");
    return scope == std::string::npos ? name : name.substr(scope + 2);
}

// The exception's own text, else the system text of the failed call.
std::string FailureText(const Zym::BaseException& error) {
    if (!error.What().empty())
        return error.WhatUtf8();
    const unsigned long code = Zym::GetLastError();
    return code == 0 ? std::string() : ZymCharset::ToUtf8(Zym::GetLastErrorMessage(code));
}

unsigned long Count(const std::string& text) {
    char* end = nullptr;
    const unsigned long count = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || count == 0 || text[0] == '-')
        throw UsageError{"--repeat needs a positive count, not '" + text + "'"};
    return count;
}

int RunNet(const Args& args) {
    if (WantsHelp(args) || args.empty()) {
        PrintUsage();
        return args.empty() ? 1 : 0;
    }
    unsigned long repeat = 1;
    bool clear = false;
    std::size_t next = 0;
    for (; next < args.size() && args[next].starts_with("--"); ++next) {
        if (args[next] == "--repeat" && next + 1 < args.size())
            repeat = Count(args[++next]);
        else if (args[next] == "--clear")
            clear = true;
        else
            throw UsageError{"unexpected option '" + args[next] + "' (see 'zymwin net --help')"};
    }
    if (next == args.size())
        throw UsageError{"missing QUERY (see 'zymwin net --help')"};
    const auto& queries = NetQueries();
    const auto query = std::find_if(queries.begin(), queries.end(),
                                    [&](const NetQuery& q) { return q.name == args[next]; });
    if (query == queries.end())
        throw UsageError{"unknown query '" + args[next] + "' (see 'zymwin net --help')"};
    const Args arguments(args.begin() + static_cast<long>(next) + 1, args.end());
    if (arguments.size() < query->fewest || arguments.size() > query->most)
        throw UsageError{"usage: zymwin net " + query->name + " " + query->arguments};
    try {
        for (unsigned long round = 0; round < repeat; ++round) {
            if (round > 0 && clear)
                ZymWindows::NTNetwork::ClearCache();
            query->run(arguments, stdout);
        }
    } catch (const Zym::BaseException& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "zymwin net: %s: %s\n", ClassName(typeid(error)).c_str(),
                     FailureText(error).c_str());
        return 1;
    }
    return 0;
}

const Registration g_Net(Command{"net", "domain, server and account queries", RunNet});

} // namespace

} // namespace zymwin
