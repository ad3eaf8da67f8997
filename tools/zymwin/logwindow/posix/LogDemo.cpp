#include "Command.h"
#include "DemoFolder.h"
#include "ScopedVariable.h"

#include <Zym/LogEntry.h>
#include <Zym/MemoryLog.h>
#include <ZymWindows/ConsoleLog.h>
#include <ZymWindows/EventLog.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zymwin {

namespace {

namespace fs = std::filesystem;

// A journal socket of the demo's own, in a temporary folder.
class DemoJournal {
public:
    DemoJournal() : m_Path((m_Folder.Path() / "journal").string()) {
        m_Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (m_Fd < 0 || m_Path.size() >= sizeof address.sun_path)
            throw UsageError{"cannot create a journal socket"};
        std::memcpy(address.sun_path, m_Path.c_str(), m_Path.size() + 1);
        if (::bind(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw UsageError{"cannot bind " + m_Path};
    }
    ~DemoJournal() { ::close(m_Fd); }
    DemoJournal(const DemoJournal&) = delete;
    DemoJournal& operator=(const DemoJournal&) = delete;

    const std::string& Path() const { return m_Path; }

    // Prints the records received so far, one line each.
    void PrintRecords() {
        char buffer[4096];
        for (ssize_t size; (size = ::recv(m_Fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
            std::string record(buffer, static_cast<std::size_t>(size));
            for (char& c : record)
                c = c == '\n' ? ' ' : c;
            std::printf("  %s\n", record.c_str());
        }
    }

private:
    const DemoFolder m_Folder{"zymwin-log"};
    const std::string m_Path;
    int m_Fd = -1;
};

void LogDemo() {
    DemoJournal journal;
    const ScopedVariable journalSocket("ZYM_JOURNAL_SOCKET", journal.Path().c_str());
    // The window shows nothing here, the same with or without a display.
    const ScopedVariable noDisplay("DISPLAY", nullptr);

    Zym::SmartPtr<Zym::MemoryLog> log = new Zym::MemoryLog();
    Zym::SmartPtr<ZymWindows::ConsoleLog> window =
        new ZymWindows::ConsoleLog(u"zymwin demo", 800, 600, nullptr, nullptr, 3);
    Zym::SmartPtr<ZymWindows::EventLog> events = new ZymWindows::EventLog(u"zymwin-demo");
    log->AttachSink(window);
    log->AttachSink(events);
    std::printf("log window on a display: %s\n", window->HasDisplay() ? "yes" : "no");

    auto copy = log->OpenEntry(u"Copying files", Zym::LogEntryCallInterface::SEVERITY_PROGRESS);
    log->SetEntryProgress(copy, 0.5);
    log->AddEntry(u"Disk almost full", Zym::LogEntryCallInterface::SEVERITY_WARNING);
    log->AddEntry(u"Cannot write \u00E9t\u00E9.txt", Zym::LogEntryCallInterface::SEVERITY_ERROR);
    log->CloseEntry(copy);
    std::puts("journal records (native protocol):");
    journal.PrintRecords();
    log->DetachSink(window);
    log->DetachSink(events);
}

const Registration g_LogDemo(DemoStep{60, "Log window and event log", LogDemo});

} // namespace

} // namespace zymwin
