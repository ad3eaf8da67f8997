#include "Command.h"
#include "EventLogDestination.h"

#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/EventLog.h>

#include <cstdio>
#include <exception>
#include <string>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin eventlog [--severity N] SOURCE TEXT\n"
    "\n"
    "Writes TEXT as one record of the system log under the event source\n"
    "SOURCE, with the event type of severity N (0 progress, 1 information\n"
    "(the default), 2 warning, 3 error, 4 fatal; 5 to 7 are plain events).\n"
    "Prints nothing and exits 0 whatever happened to the record.\n\n";

int ParseSeverity(const std::string& text) {
    std::size_t used = 0;
    int value = -1;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < 0 || value > 7)
        throw UsageError{"--severity takes a number from 0 to 7, not '" + text + "'"};
    return value;
}

int RunEventLog(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        std::fputs(EVENTLOG_DESTINATION, stdout);
        return 0;
    }
    int severity = Zym::LogEntryCallInterface::SEVERITY_INFORMATION;
    Args words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--severity") {
            if (++i == args.size())
                throw UsageError{"--severity needs a value"};
            severity = ParseSeverity(args[i]);
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 2)
        throw UsageError{"expected SOURCE and TEXT (see 'zymwin eventlog --help')"};
    Zym::SmartPtr<ZymWindows::EventLog> log =
        new ZymWindows::EventLog(ZymCharset::FromUtf8(words[0]));
    log->AddEntry(ZymCharset::FromUtf8(words[1]),
                  static_cast<Zym::LogEntryCallInterface::EntrySeverities>(severity));
    return 0;
}

const Registration g_EventLog(Command{"eventlog", "write one record to the system log",
                                      RunEventLog});

} // namespace

} // namespace zymwin
