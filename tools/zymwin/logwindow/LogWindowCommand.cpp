#include "Command.h"

#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/ConsoleLog.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace zymwin {

namespace {

constexpr const char* USAGE =
    "Usage: zymwin logwindow [--title TEXT] [--max N]\n"
    "\n"
    "Shows a log window (on $DISPLAY; without one the log keeps its entries\n"
    "and shows nothing) and reads commands from standard input, one a line:\n"
    "  add SEVERITY TEXT        a closed entry (severity 0 progress, 1\n"
    "                           information, 2 warning, 3 error, 4 fatal)\n"
    "  open ID SEVERITY TEXT    an open entry, named ID for the commands below\n"
    "  progress ID FRACTION     the open entry's progress, 0.0 to 1.0\n"
    "  close ID                 closes it\n"
    "  cancel ID                marks it cancelled\n"
    "  show, hide               shows or hides the window\n"
    "Prints 'ok' once the log has taken each command (while the window is\n"
    "frozen by a click, 'add' and 'open' wait until Escape thaws it), or\n"
    "'error: ...' for a command it cannot follow. The window holds at most N\n"
    "rows beyond its open entries (default 1000). End of input closes the\n"
    "window.\n";

using Severity = Zym::LogEntryCallInterface::EntrySeverities;

struct CommandError {
    std::string message;
};

unsigned long ParseNumber(const std::string& text, const char* what) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || text[0] == '-')
        throw CommandError{std::string(what) + " must be a number, not '" + text + "'"};
    return value;
}

Severity ParseSeverity(const std::string& text) {
    const unsigned long value = ParseNumber(text, "SEVERITY");
    if (value > 7)
        throw CommandError{"SEVERITY must be from 0 to 7"};
    return static_cast<Severity>(value);
}

// The rest of the line after the words already read, without the one
// space that separates it.
std::string Rest(std::istringstream& words) {
    std::string rest;
    std::getline(words, rest);
    if (!rest.empty() && rest[0] == ' ')
        rest.erase(0, 1);
    return rest;
}

class Session {
public:
    explicit Session(ZymWindows::ConsoleLog& log) : m_Log(log) {}

    void Run(const std::string& line) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "add") {
            std::string severity;
            words >> severity;
            m_Log.AddEntry(ZymCharset::FromUtf8(Rest(words)), ParseSeverity(severity));
        } else if (verb == "open") {
            std::string id, severity;
            words >> id >> severity;
            if (id.empty())
                throw CommandError{"open needs ID SEVERITY TEXT"};
            const Severity value = ParseSeverity(severity);
            m_Entries[id] = m_Log.OpenEntry(ZymCharset::FromUtf8(Rest(words)), value);
        } else if (verb == "progress") {
            std::string id, fraction;
            words >> id >> fraction;
            double value = 0;
            try {
                value = std::stod(fraction);
            } catch (const std::exception&) {
                throw CommandError{"FRACTION must be a number, not '" + fraction + "'"};
            }
            m_Log.SetEntryProgress(Find(id), value);
        } else if (verb == "close") {
            std::string id;
            words >> id;
            m_Log.CloseEntry(Find(id));
        } else if (verb == "cancel") {
            std::string id;
            words >> id;
            m_Log.CancelEntry(Find(id));
        } else if (verb == "show") {
            m_Log.Show();
        } else if (verb == "hide") {
            m_Log.Hide();
        } else if (!verb.empty()) {
            throw CommandError{"unknown command '" + verb + "'"};
        }
    }

private:
    const Zym::SmartPtr<Zym::LogEntry>& Find(const std::string& id) const {
        const auto found = m_Entries.find(id);
        if (found == m_Entries.end())
            throw CommandError{"no open entry '" + id + "'"};
        return found->second;
    }

    ZymWindows::ConsoleLog& m_Log;
    std::map<std::string, Zym::SmartPtr<Zym::LogEntry>> m_Entries;
};

int RunLogWindow(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    std::string title = "zymwin log";
    unsigned int maxEntries = 1000;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--title" || args[i] == "--max") && i + 1 == args.size())
            throw UsageError{args[i] + " needs a value"};
        if (args[i] == "--title") {
            title = args[++i];
        } else if (args[i] == "--max") {
            try {
                maxEntries = static_cast<unsigned int>(ParseNumber(args[++i], "--max"));
            } catch (const CommandError& error) {
                throw UsageError{error.message};
            }
        } else {
            throw UsageError{"unexpected argument '" + args[i] +
                             "' (see 'zymwin logwindow --help')"};
        }
    }
    Zym::SmartPtr<ZymWindows::ConsoleLog> log = new ZymWindows::ConsoleLog(
        ZymCharset::FromUtf8(title), 1024, 768, nullptr, nullptr, maxEntries);
    log->Show();
    Session session(*log);
    for (std::string line; std::getline(std::cin, line);) {
        try {
            session.Run(line);
            std::fputs("ok\n", stdout);
        } catch (const CommandError& error) {
            std::printf("error: %s\n", error.message.c_str());
        }
        std::fflush(stdout);
    }
    return 0;
}

const Registration g_LogWindow(Command{"logwindow", "show a log window fed from standard input",
                                       RunLogWindow});

} // namespace

} // namespace zymwin
