#include "TestFiles.h"

#include <Zym/Exception.h>
#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/EventLog.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <regex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using Zym::LogEntryCallInterface;
using Zym::SmartPtr;
using zymtest::ScopedEnvironment;

namespace {

// A datagram socket bound at `path` and read without waiting: a send over a
// Unix socket has queued its datagram by the time it returns. A datagram
// that carries a memory file reads as that file's contents.
class Receiver {
public:
    explicit Receiver(const std::filesystem::path& path) {
        sockaddr_un address{AF_UNIX, {}};
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind " + path.string());
    }
    ~Receiver() { ::close(m_Fd); }
    std::optional<std::string> Next() {
        std::vector<char> buffer(1 << 20);
        iovec part{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{nullptr, 0, &part, 1, control, sizeof control, 0};
        const ssize_t size = ::recvmsg(m_Fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (size < 0)
            return std::nullopt;
        const cmsghdr* header = CMSG_FIRSTHDR(&message);
        if (!header)
            return std::string(buffer.data(), static_cast<std::size_t>(size));
        int file = -1;
        std::memcpy(&file, CMSG_DATA(header), sizeof file);
        const std::string contents = zymtest::ReadFile("/proc/self/fd/" + std::to_string(file));
        ::close(file);
        return contents;
    }

private:
    int m_Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

// Whether a journal datagram holds `field` (NAME=value) as one of its lines.
bool Holds(const std::optional<std::string>& datagram, const std::string& field) {
    return datagram && ("\n" + *datagram).find("\n" + field + "\n") != std::string::npos;
}

// An entry that cannot give its text.
class VanishingEntry : public Zym::LogEntry {
public:
    VanishingEntry() : LogEntry(u"gone", LogEntryCallInterface::SEVERITY_ERROR, true) {}
    std::u16string GetText() const override { throw Zym::Exception(u"no text"); }
};

class Sink : public ZymWindows::EventLog {
public:
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

TEST_F(EventLogTest, EachCompleteEntryIsOneJournalRecordOfItsOwnText) {
    Receiver journal(m_Dir.Path() / "journal");
    Receiver syslog(m_Dir.Path() / "syslog");
    SmartPtr<Sink> log = new Sink(u"zym-S\u00E9rvice \u65E5\u672C");
    // A value with a newline takes the binary form: name, newline, 64-bit
    // little-endian length.
    log->AddEntry(u"Disk C:\nfull \u20AC", LogEntryCallInterface::SEVERITY_WARNING);
    EXPECT_EQ(journal.Next(), "MESSAGE\n" + std::string("\x10\0\0\0\0\0\0\0", 8) +
                                  "Disk C:\nfull \xE2\x82\xAC\nPRIORITY=4\n"
                                  "SYSLOG_IDENTIFIER=zym-S\xC3\xA9rvice \xE6\x97\xA5\xE6\x9C\xAC\n"
                                  "ZYM_EVENT_TYPE=2\nZYM_EVENT_CATEGORY=0\nZYM_EVENT_ID=1\n");
    // PRIORITY and ZYM_EVENT_TYPE of each severity.
    const int priorities[] = {6, 6, 4, 3, 3, 5, 5, 5}, types[] = {4, 4, 2, 1, 1, 0, 0, 0};
    for (int severity : {0, 1, 3, 4, 7}) {
        log->AddEntry(u"s", static_cast<LogEntryCallInterface::EntrySeverities>(severity));
        const auto datagram = journal.Next();
        EXPECT_TRUE(Holds(datagram, "PRIORITY=" + std::to_string(priorities[severity])) &&
                    Holds(datagram, "ZYM_EVENT_TYPE=" + std::to_string(types[severity])))
            << severity;
    }
    // An open entry is recorded once, when it closes.
    auto work = log->OpenEntry(u"copying", LogEntryCallInterface::SEVERITY_PROGRESS);
    log->SetEntryProgress(work, 0.5);
    log->CancelEntry(work);
    EXPECT_FALSE(journal.Next());
    log->CloseEntry(work);
    EXPECT_TRUE(Holds(journal.Next(), "MESSAGE=copying"));
    // No entry, or one that fails, gives no record and raises nothing.
    log->EntryAdded(nullptr);
    EXPECT_NO_THROW(log->vOutputLine(u"line", new VanishingEntry));
    EXPECT_FALSE(journal.Next());
    EXPECT_FALSE(syslog.Next());
    // Too large for a datagram, it travels as a memory file.
    log->AddEntry(std::u16string(600000, u'x'), LogEntryCallInterface::SEVERITY_ERROR);
    EXPECT_TRUE(Holds(journal.Next(), "MESSAGE=" + std::string(600000, 'x')));
    // Sends never wait: with nobody reading, the queue fills and the rest
    // is dropped; once read, records go through again.
    for (int i = 0; i < 10000; ++i)
        log->AddEntry(u"flood", LogEntryCallInterface::SEVERITY_INFORMATION);
    int kept = 0;
    while (journal.Next())
        ++kept;
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 10000);
    log->AddEntry(u"after", LogEntryCallInterface::SEVERITY_INFORMATION);
    EXPECT_TRUE(Holds(journal.Next(), "MESSAGE=after"));
}

TEST_F(EventLogTest, WithoutAJournalRecordsAreSyslogLinesTaggedWithTheSource) {
    Receiver syslog(m_Dir.Path() / "syslog");
    SmartPtr<ZymWindows::EventLog> log = new ZymWindows::EventLog(u"My S\u00E9rvice: [1]");
    log->AddEntry(u"low disk", LogEntryCallInterface::SEVERITY_WARNING);
    log->AddEntry(u"failed", LogEntryCallInterface::SEVERITY_FATAL);
    const std::regex line("<(\\d+)>[A-Z][a-z][a-z] [ 123]\\d \\d\\d:\\d\\d:\\d\\d "
                          "My_S\xC3\xA9rvice___1_\\[" +
                          std::to_string(::getpid()) + "\\]: (.*)");
    for (const std::string expected : {"12 low disk", "11 failed"}) {
        const std::string got = syslog.Next().value_or("");
        std::smatch match;
        ASSERT_TRUE(std::regex_match(got, match, line)) << got;
        EXPECT_EQ(match.str(1) + " " + match.str(2), expected);
    }
}

TEST_F(EventLogTest, TheCommandWritesOneRecordAndPrintsNothing) {
    Receiver journal(m_Dir.Path() / "journal");
    auto result = zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "2", "zym-cli", "q"});
    EXPECT_EQ(std::to_string(result.status) + result.out, "0") << result.err;
    const auto datagram = journal.Next();
    EXPECT_TRUE(Holds(datagram, "SYSLOG_IDENTIFIER=zym-cli") && Holds(datagram, "PRIORITY=4") &&
                Holds(datagram, "MESSAGE=q"));
    // Nowhere to write to is still a success; a bad severity is not.
    ScopedEnvironment nowhere("ZYM_JOURNAL_SOCKET", (m_Dir.Path() / "none").string());
    EXPECT_EQ(zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "zym-cli", "lost"}).status, 0);
    EXPECT_NE(zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "x", "a", "b"}).status,
              0);
}
