#include "TestFiles.h"

#include <Zym/BaseLog.h>
#include <Zym/LogEntry.h>
#include <Zym/MemoryLog.h>
#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Zym::LogCallInterface;
using Zym::LogEntry;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;

namespace {

// A sink that writes down every notification it gets, and calls `onAdded`
// (when set) after writing down an added entry.
class RecordingSink : public LogCallInterface {
public:
    struct Event {
        const LogEntryCallInterface* entry;
        std::string what;
    };

    void EntryAdded(const SmartPtr<LogEntryCallInterface>& e) override {
        Record(e, "added");
        if (onAdded)
            onAdded(*e);
    }
    void EntryClosed(const SmartPtr<LogEntryCallInterface>& e) override { Record(e, "closed"); }
    void EntryCancelled(const SmartPtr<LogEntryCallInterface>& e) override {
        Record(e, "cancelled");
    }
    void EntryChanged(const SmartPtr<LogEntryCallInterface>& e, EntryChanges changes) override {
        Record(e, "changed " + std::to_string(changes));
    }

    std::vector<Event> Events() {
        std::lock_guard lock(m_Lock);
        return m_Events;
    }
    std::function<void(LogEntryCallInterface&)> onAdded;

private:
    void Record(const SmartPtr<LogEntryCallInterface>& e, std::string what) {
        std::lock_guard lock(m_Lock);
        m_Events.push_back({e.Get(), std::move(what)});
    }

    std::mutex m_Lock;
    std::vector<Event> m_Events;
};

// A line sink that keeps its lines.
class LineSink : public Zym::BaseLog {
public:
    using BaseLog::BaseLog;
    std::vector<std::u16string> lines;

protected:
    void vOutputLine(const std::u16string& line,
                     const SmartPtr<LogEntryCallInterface>& entry) override {
        EXPECT_TRUE(entry);
        lines.push_back(line);
    }
};

} // namespace

// Threads that log at once are the next case's, with the interleaving forced.
TEST(MemoryLog, EverySinkSeesEveryNotificationOfEachEntryInOrder) {
    SmartPtr<Zym::MemoryLog> log = new Zym::MemoryLog();
    SmartPtr<RecordingSink> first = new RecordingSink();
    SmartPtr<RecordingSink> second = new RecordingSink();
    log->AttachSink(first);
    log->AttachSink(second);
    log->AttachSink(first); // attaching twice changes nothing

    auto done = log->OpenEntry(u"done", LogEntryCallInterface::SEVERITY_PROGRESS);
    auto dropped = log->OpenEntry(u"dropped", LogEntryCallInterface::SEVERITY_PROGRESS);
    log->SetEntryProgress(done, 0.5);
    log->CancelEntry(dropped);
    log->CloseEntry(done);
    log->CloseEntry(done); // a second close tells nobody
    log->CloseEntry(dropped);
    const auto note = log->AddEntry(u"note", LogEntryCallInterface::SEVERITY_WARNING);

    for (RecordingSink* sink : {first.Get(), second.Get()}) {
        std::map<const LogEntryCallInterface*, std::string> history;
        for (const auto& event : sink->Events())
            history[event.entry] += event.what + ";";
        EXPECT_EQ(history.size(), 3u);
        EXPECT_EQ(history[done.Get()], "added;changed 2;closed;");
        EXPECT_EQ(history[dropped.Get()], "added;cancelled;closed;");
        EXPECT_EQ(history[note.Get()], "added;");
    }
    EXPECT_EQ(log->Size(), 3u);
}

TEST(MemoryLog, ASinkThatBlocksHoldsUpOnlyTheThreadTellingIt) {
    // Blocks as a frozen log window does, until released.
    ZymThread::EventSemaphore holding{true, false}, released{true, false};
    SmartPtr<Zym::MemoryLog> log = new Zym::MemoryLog();
    SmartPtr<RecordingSink> blocking = new RecordingSink();
    SmartPtr<RecordingSink> other = new RecordingSink();
    blocking->onAdded = [&](LogEntryCallInterface& e) {
        if (e.GetText() == u"hold") {
            holding.Set();
            released.Wait();
        }
    };
    log->AttachSink(blocking);
    log->AttachSink(other);
    auto open = log->OpenEntry(u"copying", LogEntryCallInterface::SEVERITY_PROGRESS);

    std::thread held([&] { log->AddEntry(u"hold", LogEntryCallInterface::SEVERITY_WARNING); });
    holding.Wait();
    // Everything else still gets through, to both sinks.
    log->SetEntryProgress(open, 0.5);
    log->AddEntry(u"meanwhile", LogEntryCallInterface::SEVERITY_INFORMATION);
    EXPECT_EQ(log->Size(), 3u);
    EXPECT_EQ(blocking->Events().size(), 4u);
    EXPECT_EQ(other->Events().size(), 3u); // "hold" has not reached it yet
    log->DetachSink(other);
    released.Set();
    held.join();
    EXPECT_EQ(other->Events().size(), 4u); // "hold" began before the detach
}

TEST(MemoryLog, KeepsOpenEntriesWhenTrimmingAndLetsSinksLogBack) {
    SmartPtr<Zym::MemoryLog> log = new Zym::MemoryLog(3);
    auto open = log->OpenEntry(u"running", LogEntryCallInterface::SEVERITY_PROGRESS);
    for (int i = 0; i < 5; ++i)
        log->AddEntry(u"done", LogEntryCallInterface::SEVERITY_INFORMATION);
    auto entries = log->Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Get(), open.Get());
    log->CloseEntry(open);
    EXPECT_EQ(log->Size(), 3u);

    // A sink that answers a warning with an entry of its own, on the same
    // thread and inside the notification.
    SmartPtr<RecordingSink> echo = new RecordingSink();
    echo->onAdded = [&](LogEntryCallInterface& e) {
        if (e.GetSeverity() == LogEntryCallInterface::SEVERITY_WARNING)
            log->AddEntry(u"seen: " + e.GetText(), LogEntryCallInterface::SEVERITY_PROGRESS);
    };
    log->AttachSink(echo);
    log->Clear();
    log->AddEntry(u"disk", LogEntryCallInterface::SEVERITY_WARNING);
    entries = log->Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1]->GetText(), u"seen: disk");
}

TEST(BaseLog, OneLinePerEntryOrOnePerChange) {
    const zymtest::ScopedEnvironment utc("TZ", "UTC0");

    SmartPtr<LineSink> record = new LineSink(false);
    SmartPtr<LineSink> trace = new LineSink(true);
    for (LineSink* sink : {record.Get(), trace.Get()}) {
        SmartPtr<LogEntry> work = new LogEntry(u"Copying", LogEntryCallInterface::SEVERITY_PROGRESS,
                                               false, Zym::DateTime(3600));
        sink->EntryAdded(work);
        sink->SetEntryProgress(work, 0.4);
        sink->CancelEntry(work);
        sink->CloseEntry(work);
        sink->EntryAdded(SmartPtr<LogEntry>(new LogEntry(
            u"Disk \u00E9 full", LogEntryCallInterface::SEVERITY_ERROR, true, Zym::DateTime(60))));
        sink->EntryAdded(nullptr);
    }
    EXPECT_EQ(record->lines,
              (std::vector<std::u16string>{u"1970-01-01 01:00:00 progress: Copying (cancelled)",
                                           u"1970-01-01 00:01:00 error: Disk \u00E9 full"}));
    EXPECT_EQ(trace->lines, (std::vector<std::u16string>{
                                u"1970-01-01 01:00:00 progress: Copying",
                                u"1970-01-01 01:00:00 progress: Copying (40%)",
                                u"1970-01-01 01:00:00 progress: Copying (40%) (cancelled)",
                                u"1970-01-01 01:00:00 progress: Copying (cancelled)",
                                u"1970-01-01 00:01:00 error: Disk \u00E9 full"}));
}
