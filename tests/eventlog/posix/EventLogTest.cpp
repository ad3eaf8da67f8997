#include "TestFiles.h"

#include <Zym/Exception.h>
#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/EventLog.h>

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using Zym::LogEntryCallInterface;
using Zym::SmartPtr;
using zymtest::ScopedEnvironment;

namespace {

// A datagram socket bound at `path` and read without waiting: a send over a
// Unix socket has queued its datagram by the time it returns. A datagram
// that carries a memory file reads as that file's contents.
struct Receiver {
    explicit Receiver(const std::filesystem::path& path) {
        sockaddr_un address{AF_UNIX, {}};
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
    }
    ~Receiver() { ::close(m_Fd); }
    std::optional<std::string> Next() {
        std::string buffer(1 << 20, '\0');
        iovec part{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{nullptr, 0, &part, 1, control, sizeof control, 0};
        const ssize_t size = ::recvmsg(m_Fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (size < 0)
            return std::nullopt;
        const cmsghdr* header = CMSG_FIRSTHDR(&message);
        if (!header)
            return buffer.substr(0, static_cast<std::size_t>(size));
        const int file = *reinterpret_cast<const int*>(CMSG_DATA(header));
        const std::string contents = zymtest::ReadFile("/proc/self/fd/" + std::to_string(file));
        ::close(file);
        return contents;
    }
    int m_Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

// Whether a journal datagram holds each field (NAME=value) as one of its lines.
bool Holds(const std::optional<std::string>& datagram, std::initializer_list<std::string> fields) {
    for (const std::string& field : fields)
        if (!datagram || ("\n" + *datagram).find("\n" + field + "\n") == std::string::npos)
            return false;
    return true;
}

struct TextlessEntry : Zym::LogEntry {
    TextlessEntry() : LogEntry(u"gone", LogEntryCallInterface::SEVERITY_ERROR, true) {}
    std::u16string GetText() const override { throw Zym::Exception(u"no text"); }
};

struct Sink : ZymWindows::EventLog {
    using EventLog::EventLog;
    using EventLog::vOutputLine;
};

class EventLogTest : public ::testing::Test {
protected:
    zymtest::ScratchDirectory m_Dir;
    ScopedEnvironment m_JournalPath{"ZYM_JOURNAL_SOCKET", (m_Dir.Path() / "journal").string()};
    ScopedEnvironment m_SyslogPath{"ZYM_SYSLOG_SOCKET", (m_Dir.Path() / "syslog").string()};
};

} // namespace

TEST_F(EventLogTest, EachCompleteEntryIsOneRecordOfItsOwnTextInTheJournalElseSyslog) {
    auto journal = std::make_optional<Receiver>(m_Dir.Path() / "journal");
    Receiver syslog(m_Dir.Path() / "syslog");
    SmartPtr<Sink> log = new Sink(u"zym-S\u00E9rvice: [\u65E5\u672C]");
    // A value with a newline: name, newline, 64-bit little-endian length.
    log->AddEntry(u"Disk C:\nfull \u20AC", LogEntryCallInterface::SEVERITY_WARNING);
    EXPECT_EQ(journal->Next(),
              "MESSAGE\n" + std::string("\x10\0\0\0\0\0\0\0", 8) +
                  "Disk C:\nfull \xE2\x82\xAC\nPRIORITY=4\n"
                  "SYSLOG_IDENTIFIER=zym-S\xC3\xA9rvice: [\xE6\x97\xA5\xE6\x9C\xAC]\n"
                  "ZYM_EVENT_TYPE=2\nZYM_EVENT_CATEGORY=0\nZYM_EVENT_ID=1\n");
    // An open entry is recorded once, when it closes.
    auto work = log->OpenEntry(u"copying", LogEntryCallInterface::SEVERITY_PROGRESS);
    log->SetEntryProgress(work, 0.5);
    log->CancelEntry(work);
    EXPECT_FALSE(journal->Next());
    log->CloseEntry(work);
    EXPECT_TRUE(Holds(journal->Next(), {"MESSAGE=copying", "PRIORITY=6", "ZYM_EVENT_TYPE=4"}));
    // No entry, or one that fails, gives no record and raises nothing.
    log->EntryAdded(nullptr);
    EXPECT_NO_THROW(log->vOutputLine(u"line", new TextlessEntry));
    EXPECT_FALSE(journal->Next());
    EXPECT_FALSE(syslog.Next());
    // Too large for a datagram, it travels as a memory file.
    log->AddEntry(std::u16string(600000, u'x'), LogEntryCallInterface::SEVERITY_ERROR);
    EXPECT_TRUE(Holds(journal->Next(),
                      {"MESSAGE=" + std::string(600000, 'x'), "PRIORITY=3", "ZYM_EVENT_TYPE=1"}));
    // Sends never wait: with nobody reading, the queue fills and the rest
    // is dropped; once read, records go through again.
    for (int i = 0; i < 10000; ++i)
        log->AddEntry(u"flood", LogEntryCallInterface::SEVERITY_INFORMATION);
    EXPECT_TRUE(Holds(journal->Next(), {"MESSAGE=flood", "PRIORITY=6", "ZYM_EVENT_TYPE=4"}));
    int kept = 1;
    while (journal->Next())
        ++kept;
    EXPECT_LT(kept, 10000);
    // A severity beyond the known ones is a plain event.
    log->AddEntry(u"after", static_cast<LogEntryCallInterface::EntrySeverities>(7));
    EXPECT_TRUE(Holds(journal->Next(), {"MESSAGE=after", "PRIORITY=5", "ZYM_EVENT_TYPE=0"}));

    // Without a journal: "<PRI>Mmm dd hh:mm:ss TAG[PID]: TEXT", facility
    // user, the tag without what would end it.
    journal.reset();
    log->AddEntry(u"low disk", LogEntryCallInterface::SEVERITY_WARNING);
    log->AddEntry(u"failed", LogEntryCallInterface::SEVERITY_FATAL);
    const std::string tag =
        " zym-S\xC3\xA9rvice___\xE6\x97\xA5\xE6\x9C\xAC_[" + std::to_string(::getpid()) + "]: ";
    for (const std::string& expected : {"<12>" + tag + "low disk", "<11>" + tag + "failed"}) {
        std::string line = syslog.Next().value_or("");
        EXPECT_TRUE(std::regex_match(line.substr(4, 15),
                                     std::regex("[A-Z][a-z]{2} [ 123]\\d \\d\\d:\\d\\d:\\d\\d")));
        EXPECT_EQ(line.erase(4, 15), expected);
    }
}

TEST_F(EventLogTest, TheCommandWritesOneRecordAndPrintsNothing) {
    Receiver journal(m_Dir.Path() / "journal");
    auto result = zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "2", "zym-cli", "q"});
    EXPECT_EQ(std::to_string(result.status) + result.out, "0") << result.err;
    EXPECT_TRUE(Holds(journal.Next(), {"SYSLOG_IDENTIFIER=zym-cli", "PRIORITY=4", "MESSAGE=q"}));
    // Nowhere to write to is still a success; a bad severity is not.
    ScopedEnvironment nowhere("ZYM_JOURNAL_SOCKET", (m_Dir.Path() / "none").string());
    EXPECT_EQ(zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "zym-cli", "lost"}).status, 0);
    EXPECT_NE(zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "9", "a", "b"}).status,
              0);
}
