#include "DatagramReceiver.h"
#include "TestFiles.h"

#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/EventLog.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <unistd.h>

using eventlogtest::DatagramReceiver;
using eventlogtest::JournalFields;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;
using zymtest::ScopedEnvironment;

namespace {

// A journal and a syslog socket of the test's own, named through the
// environment before each sink is made.
class EventLogTest : public ::testing::Test {
protected:
    zymtest::ScratchDirectory m_Dir;
    const std::string m_JournalPath = (m_Dir.Path() / "journal").string();
    const std::string m_SyslogPath = (m_Dir.Path() / "syslog").string();
    ScopedEnvironment m_Journal{"ZYM_JOURNAL_SOCKET", m_JournalPath};
    ScopedEnvironment m_Syslog{"ZYM_SYSLOG_SOCKET", m_SyslogPath};
};

} // namespace

TEST_F(EventLogTest, EachCompleteEntryIsOneJournalRecordOfItsOwnText) {
    DatagramReceiver journal(m_JournalPath);
    DatagramReceiver syslog(m_SyslogPath);
    // A source name outside ASCII is its UTF-8 bytes.
    SmartPtr<ZymWindows::EventLog> log = new ZymWindows::EventLog(u"zym-S\u00E9rvice \u65E5\u672C");

    struct Case {
        int severity;
        const char* priority;
        const char* type;
    };
    for (const Case c : {Case{0, "6", "4"}, Case{1, "6", "4"}, Case{2, "4", "2"}, Case{3, "3", "1"},
                         Case{4, "3", "1"}, Case{7, "5", "0"}}) {
        const std::u16string text = u"Disk C: is " + std::u16string(1, u'0' + c.severity);
        log->AddEntry(text, static_cast<LogEntryCallInterface::EntrySeverities>(c.severity));
        const auto datagram = journal.Next();
        ASSERT_TRUE(datagram) << c.severity;
        const auto fields = JournalFields(*datagram);
        EXPECT_EQ(fields, (std::map<std::string, std::string>{
                              {"MESSAGE", ZymCharset::ToUtf8(text)},
                              {"PRIORITY", c.priority},
                              {"SYSLOG_IDENTIFIER", "zym-S\xC3\xA9rvice \xE6\x97\xA5\xE6\x9C\xAC"},
                              {"ZYM_EVENT_TYPE", c.type},
                              {"ZYM_EVENT_CATEGORY", "0"},
                              {"ZYM_EVENT_ID", "1"}}))
            << c.severity;
    }

    // A value with a newline travels in the binary form; non-ASCII text
    // as UTF-8.
    const std::u16string lines = u"first line\nzweite Zeile \u00FC\u20AC\U0001F600";
    log->AddEntry(lines, LogEntryCallInterface::SEVERITY_WARNING);
    auto datagram = journal.Next();
    ASSERT_TRUE(datagram);
    EXPECT_NE(datagram->find("MESSAGE\n"), std::string::npos);
    EXPECT_EQ(JournalFields(*datagram)["MESSAGE"], ZymCharset::ToUtf8(lines));

    // An open entry is recorded once, when it closes; cancelling it adds
    // nothing of its own.
    auto work = log->OpenEntry(u"copying", LogEntryCallInterface::SEVERITY_PROGRESS);
    log->SetEntryProgress(work, 0.5);
    log->CancelEntry(work);
    EXPECT_FALSE(journal.Next());
    log->CloseEntry(work);
    datagram = journal.Next();
    ASSERT_TRUE(datagram);
    EXPECT_EQ(JournalFields(*datagram)["MESSAGE"], "copying");

    // No entry, no record; nothing ever goes to syslog while the journal
    // is there.
    log->EntryAdded(nullptr);
    log->EntryClosed(nullptr);
    EXPECT_FALSE(journal.Next());
    EXPECT_FALSE(syslog.Next());
}

TEST_F(EventLogTest, WithoutAJournalRecordsGoToSyslogAsUserFacilityLines) {
    DatagramReceiver syslog(m_SyslogPath);
    SmartPtr<ZymWindows::EventLog> log = new ZymWindows::EventLog(u"zym-\u00E9");
    log->AddEntry(u"low disk", LogEntryCallInterface::SEVERITY_WARNING);
    log->AddEntry(u"failed", LogEntryCallInterface::SEVERITY_FATAL);
    log->AddEntry(u"started", LogEntryCallInterface::SEVERITY_INFORMATION);

    const std::string pid = std::to_string(::getpid());
    const std::regex stamp("^<(\\d+)>(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                           "[ 123]\\d \\d\\d:\\d\\d:\\d\\d (.*)$");
    for (const auto& [pri, rest] : {std::pair{"12", "zym-\xC3\xA9[" + pid + "]: low disk"},
                                    std::pair{"11", "zym-\xC3\xA9[" + pid + "]: failed"},
                                    std::pair{"14", "zym-\xC3\xA9[" + pid + "]: started"}}) {
        const auto line = syslog.Next();
        ASSERT_TRUE(line);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(*line, match, stamp)) << *line;
        EXPECT_EQ(match[1], pri);
        EXPECT_EQ(match[3], rest);
    }
    EXPECT_FALSE(syslog.Next());
}

TEST_F(EventLogTest, NeverWaitsForAReaderAndDropsWhatDoesNotFit) {
    DatagramReceiver journal(m_JournalPath);
    SmartPtr<ZymWindows::EventLog> log = new ZymWindows::EventLog(u"zym-test");
    // Nobody reads while these go out: the socket's queue fills up and the
    // rest are dropped, yet every call returns.
    constexpr int RECORDS = 10000;
    for (int i = 0; i < RECORDS; ++i)
        log->AddEntry(u"flood", LogEntryCallInterface::SEVERITY_INFORMATION);
    const int kept = journal.Drain();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, RECORDS);
    // Once read, the destination takes records again.
    log->AddEntry(u"after", LogEntryCallInterface::SEVERITY_INFORMATION);
    const auto datagram = journal.Next();
    ASSERT_TRUE(datagram);
    EXPECT_EQ(JournalFields(*datagram)["MESSAGE"], "after");
}

TEST_F(EventLogTest, ARecordTooLargeForADatagramTravelsAsAMemoryFile) {
    DatagramReceiver journal(m_JournalPath);
    SmartPtr<ZymWindows::EventLog> log = new ZymWindows::EventLog(u"zym-test");
    const std::u16string big(600000, u'x');
    log->AddEntry(big, LogEntryCallInterface::SEVERITY_ERROR);
    const auto datagram = journal.Next();
    ASSERT_TRUE(datagram);
    const auto fields = JournalFields(*datagram);
    EXPECT_EQ(fields.at("MESSAGE").size(), big.size());
    EXPECT_EQ(fields.at("PRIORITY"), "3");
}

TEST_F(EventLogTest, TheCommandWritesOneRecordAndPrintsNothing) {
    DatagramReceiver journal(m_JournalPath);
    auto result = zymtest::RunProcess(
        {ZYMWIN_PATH, "eventlog", "--severity", "2", "zym-cli", "quota \xC3\xA9xceeded"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const auto datagram = journal.Next();
    ASSERT_TRUE(datagram);
    const auto fields = JournalFields(*datagram);
    EXPECT_EQ(fields.at("MESSAGE"), "quota \xC3\xA9xceeded");
    EXPECT_EQ(fields.at("SYSLOG_IDENTIFIER"), "zym-cli");
    EXPECT_EQ(fields.at("PRIORITY"), "4");

    // Nowhere to write to is still a success.
    ScopedEnvironment nowhere("ZYM_JOURNAL_SOCKET", (m_Dir.Path() / "none").string());
    result = zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "zym-cli", "lost"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(journal.Next());

    result = zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "x", "a", "b"});
    EXPECT_NE(result.status, 0);
}
