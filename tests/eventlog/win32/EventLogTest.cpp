#include "TestFiles.h"
#include "Wine.h"

#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/EventLog.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using Zym::LogEntryCallInterface;

namespace {

// Measured with Wine 8: ReportEventW succeeds, and the Application log
// stays empty.
constexpr const char* WINE_EVENTLOG = "ReportEventW accepts a record that nothing can read back";

struct Record {
    unsigned short type;
    unsigned short category;
    unsigned long id;
    std::vector<std::u16string> strings;
    bool operator==(const Record&) const = default;
};

// The Application log's records of `source`, oldest first.
std::vector<Record> RecordsOf(const std::u16string& source) {
    std::vector<Record> records;
    const HANDLE log = ::OpenEventLogW(nullptr, L"Application");
    if (!log) {
        ADD_FAILURE() << "OpenEventLogW failed with " << ::GetLastError();
        return records;
    }
    std::vector<unsigned char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0, needed = 0;
        if (!::ReadEventLogW(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0,
                             buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed)) {
            if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                break;
            buffer.resize(needed);
            continue;
        }
        for (DWORD at = 0; at < read;) {
            const auto* record = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + at);
            // The source name follows the fixed part.
            const auto* name = reinterpret_cast<const char16_t*>(record + 1);
            if (name == source) {
                Record found{record->EventType, record->EventCategory, record->EventID, {}};
                const auto* text = reinterpret_cast<const char16_t*>(
                    reinterpret_cast<const unsigned char*>(record) + record->StringOffset);
                for (WORD i = 0; i < record->NumStrings; ++i) {
                    found.strings.emplace_back(text);
                    text += found.strings.back().size() + 1;
                }
                records.push_back(std::move(found));
            }
            at += record->Length;
        }
    }
    ::CloseEventLog(log);
    return records;
}

// A source name of this run alone.
std::u16string UniqueSource(const char16_t* stem) {
    return stem + ZymCharset::FromUtf8(std::to_string(::GetCurrentProcessId()));
}

struct Sink : ZymWindows::EventLog {
    using EventLog::EventLog;
    using EventLog::vOutputLine;
};

} // namespace

// The record holds the entry's own text, not the line, under its event
// type; no entry, no record.
TEST(EventLogTest, EachEntryIsOneRecordOfItsOwnTextInTheApplicationLog) {
    const std::u16string source = UniqueSource(u"zym-S\u00E9rvice \u65E5\u672C ");
    {
        Zym::SmartPtr<Sink> log = new Sink(source);
        log->AddEntry(u"Disk C:\nfull \u20AC", LogEntryCallInterface::SEVERITY_WARNING);
        log->vOutputLine(u"a line without an entry", nullptr);
        auto work = log->OpenEntry(u"copying", LogEntryCallInterface::SEVERITY_PROGRESS);
        log->CloseEntry(work);
        log->AddEntry(u"failed", LogEntryCallInterface::SEVERITY_FATAL);
        log->AddEntry(u"after", static_cast<LogEntryCallInterface::EntrySeverities>(7));
    }
    ZYMTEST_SKIP_UNDER_WINE(WINE_EVENTLOG);
    EXPECT_EQ(RecordsOf(source),
              (std::vector<Record>{{EVENTLOG_WARNING_TYPE, 0, 1, {u"Disk C:\nfull \u20AC"}},
                                   {EVENTLOG_INFORMATION_TYPE, 0, 1, {u"copying"}},
                                   {EVENTLOG_ERROR_TYPE, 0, 1, {u"failed"}},
                                   {EVENTLOG_SUCCESS, 0, 1, {u"after"}}}));
}

TEST(EventLogTest, TheCommandWritesOneRecordAndPrintsNothing) {
    const std::u16string source = UniqueSource(u"zym-cli-");
    const std::string name = ZymCharset::ToUtf8(source);
    const auto written =
        zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "2", name, "q"});
    EXPECT_EQ(std::to_string(written.status) + written.out, "0") << written.err;
    EXPECT_NE(zymtest::RunProcess({ZYMWIN_PATH, "eventlog", "--severity", "9", name, "b"}).status,
              0);
    ZYMTEST_SKIP_UNDER_WINE(WINE_EVENTLOG);
    EXPECT_EQ(RecordsOf(source), (std::vector<Record>{{EVENTLOG_WARNING_TYPE, 0, 1, {u"q"}}}));
}
