// A real directory, real file operations, one observer per test.
#include "ObserverTestSupport.h"
#include "TestFiles.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using namespace observertest;
namespace fs = std::filesystem;
using ZymWindows::WinNTDirectoryObserver;
using ZymWindows::WinNTObserverSource;
using Point = ZymWindows::ObserverProbe::Point;

namespace {

// The entries of a /proc/self folder whose content (or link) is `text`.
int ProcEntries(const char* folder, const char* file, const std::string& text) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::error_code error;
        std::string line = fs::read_symlink(entry.path(), error).string();
        if (*file)
            std::getline(std::ifstream(entry.path() / file), line);
        count += text.empty() || line == text;
    }
    return count;
}

std::string AttachError(WinNTDirectoryObserver& observer, const std::string& path) {
    try {
        observer.AttachObserver(Wide(path), false, new RecordingObserver);
    } catch (const ZymWindows::WindowsException& error) {
        return error.WhatUtf8();
    }
    return "attached";
}

// Makes `marker` and returns the events reported before it. A source's
// changes come in order, so once the marker is there, nothing made before it
// can still come.
std::vector<DeviceEvent> EventsBefore(const RecordingObserver& recorder, const fs::path& marker) {
    Touch(marker);
    const std::string name = "\\" + marker.filename().string();
    EXPECT_TRUE(recorder.WaitUntil([&](const Seen& seen) {
        return !seen.events.empty() && ZymCharset::ToUtf8(seen.events.back().path).ends_with(name);
    }));
    auto events = recorder.Events();
    events.pop_back();
    return events;
}

class Observed : public ::testing::Test {
protected:
    zymtest::ScratchDirectory m_Scratch;
    const fs::path& m_Dir = m_Scratch.Path();
    const std::string m_Root = m_Dir;
    WinNTDirectoryObserver m_Observer;
    Zym::SmartPtr<RecordingObserver> m_Recorder = new RecordingObserver;
};

using Attach = Observed;
using Events = Observed;
using Recursion = Observed;
using Lifecycle = Observed;

} // namespace

// A failed attach uses up its id: the first success after four failures,
// counting from one, is the fifth.
TEST_F(Attach, FailuresCarryTheSystemTextAndLeaveTheListenerUnstarted) {
    zymtest::WriteFile(m_Dir / "file", "x");
    EXPECT_EQ(AttachError(m_Observer, m_Root + "/missing"),
              "The system cannot find the file specified.");
    EXPECT_EQ(AttachError(m_Observer, m_Root + "/missing/below"),
              "The system cannot find the path specified.");
    EXPECT_EQ(AttachError(m_Observer, m_Root + "/file"), "The directory name is invalid.");
    EXPECT_EQ(AttachError(m_Observer, ""), "The system cannot find the path specified.");
    EXPECT_EQ(ProcEntries("/proc/self/task", "comm", "EventListener"), 0);
    EXPECT_EQ(m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder), 5);
    EXPECT_EQ(ProcEntries("/proc/self/task", "comm", "EventListener"), 1);
}

// The event path is the source path as given, a trailing separator and all.
// Without recursion only the directory's own entries count.
TEST_F(Events, CreateModifyRenameDeleteComeInOrderWithThePathAsGiven) {
    const std::string given = m_Root + "/";
    fs::create_directory(m_Dir / "sub");
    const long id = m_Observer.AttachObserver(Wide(given), false, m_Recorder);
    Touch(m_Dir / "sub" / "inner");
    Touch(m_Dir / "a");
    std::ofstream(m_Dir / "a", std::ios::app) << "data";
    chmod((m_Dir / "a").c_str(), 0600);
    fs::rename(m_Dir / "a", m_Dir / "bé");
    fs::remove(m_Dir / "bé");
    fs::create_directory(m_Dir / "new");
    Touch(m_Dir / "new" / "inner");
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    EXPECT_EQ(Describe(events), Expected(given, id,
                                         {"created a", "modified a", "modified a", "deleted a",
                                          "created bé", "deleted bé", "created new"}));
    EXPECT_TRUE(m_Recorder->Snapshot().errors.empty());
}

// More directories than the system gives inotify instances to an account
// (128 by default): the watches of an observer share one instance and one
// listener.
TEST_F(Events, ManyDirectoriesShareOneInstanceAndOneListener) {
    constexpr int DIRECTORIES = 300;
    const int before = ProcEntries("/proc/self/fd", "", "anon_inode:inotify");
    for (int i = 1; i <= DIRECTORIES; ++i) {
        const std::string dir = m_Root + "/" + std::to_string(i);
        fs::create_directory(dir);
        ASSERT_EQ(m_Observer.AttachObserver(Wide(dir), false, m_Recorder), i);
    }
    EXPECT_EQ(ProcEntries("/proc/self/fd", "", "anon_inode:inotify"), before + 1);
    EXPECT_EQ(ProcEntries("/proc/self/task", "comm", "EventListener"), 1);
    EXPECT_TRUE(EventsBefore(*m_Recorder, m_Root + "/300/f").empty());
}

TEST_F(Recursion, DirectoriesMadeAtFullSpeedReportEverythingOnce) {
    const long id = m_Observer.AttachObserver(Wide(m_Root), true, m_Recorder);
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        const std::string a = "a" + std::to_string(i);
        // mkdir -p a/b/c && touch a/b/c/f, with nothing in between, and a
        // file beside b made while b's listing may be under way.
        fs::create_directories(m_Dir / a / "b" / "c");
        Touch(m_Dir / a / "b" / "c" / "f");
        Touch(m_Dir / a / "g");
        for (const std::string& relative : {a, a + "/b", a + "/b/c", a + "/b/c/f", a + "/g"})
            expected.push_back("created " + relative);
    }
    auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    std::sort(events.begin(), events.end(), [](auto& a, auto& b) { return a.path < b.path; });
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Describe(events), Expected(m_Root, id, expected));
}

// The changes are made while the listener is busy, so that it meets them as
// one backlog, with changes inside the directory moved out behind its move.
TEST_F(Recursion, RenamedDirectoriesFollowTheirNewPathMovedInOnesReportWhatTheyHold) {
    const zymtest::ScratchDirectory outside;
    const fs::path& away = outside.Path();
    fs::create_directories(m_Dir / "old" / "deep");
    fs::create_directory(m_Dir / "leaving");
    fs::create_directories(away / "box" / "inner");
    Touch(away / "box" / "inner" / "f");
    Signal busy, released;
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (!busy.IsSet()) {
            busy.Set();
            released.Wait();
        }
    };
    const long id = m_Observer.AttachObserver(Wide(m_Root), true, m_Recorder);
    Touch(m_Dir / "first");
    ASSERT_TRUE(busy.Wait());
    fs::rename(m_Dir / "old", m_Dir / "new");
    Touch(m_Dir / "new" / "deep" / "f");
    fs::rename(m_Dir / "leaving", away / "gone");
    Touch(away / "gone" / "unseen");
    fs::create_directory(away / "gone" / "unseen-dir");
    fs::rename(away / "box", m_Dir / "box");
    released.Set();
    ASSERT_TRUE(m_Recorder->WaitForEvents(8));
    Touch(m_Dir / "box" / "inner" / "g");
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    EXPECT_EQ(Describe(events),
              Expected(m_Root, id,
                       {"created first", "deleted old", "created new", "created new/deep/f",
                        "deleted leaving", "created box", "created box/inner",
                        "created box/inner/f", "created box/inner/g"}));
}

// The consumer stalls the listener while more changes come than the kernel
// queues (16384 by default).
TEST_F(Events, AnOverflowIsAnEmptyBatchAndNoSilentLoss) {
    Signal release;
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) { release.Wait(); };
    const long id = m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder);
    constexpr int FILES = 20000;
    for (int i = 0; i < FILES; ++i)
        Touch(m_Dir / std::to_string(i));
    release.Set();
    ASSERT_TRUE(m_Recorder->WaitUntil([](const Seen& seen) { return seen.emptyBatches > 0; }));
    // What came is the first files made, in order; the empty batch stands
    // for the rest.
    const auto events = m_Recorder->Events();
    std::vector<std::string> made;
    for (std::size_t i = 0; i < events.size(); ++i)
        made.push_back("created " + std::to_string(i));
    EXPECT_EQ(Describe(events), Expected(m_Root, id, made));
    EXPECT_LT(events.size(), std::size_t(FILES));
    EventsBefore(*m_Recorder, m_Dir / "later"); // watching goes on
}

// Unknown ids are ignored; after a detach, another source on the same
// directory sees the change that the detached one must not.
TEST_F(Lifecycle, AttachDetachCyclesLeaveNothingBehindAndDetachedSourcesStaySilent) {
    fs::create_directories(m_Dir / "a" / "b");
    const int before = ProcEntries("/proc/self/fd", "", "");
    for (int round = 0; round < 20; ++round) {
        WinNTDirectoryObserver observer;
        for (int i = 0; i < 5; ++i) {
            const long id = observer.AttachObserver(Wide(m_Root), i % 2 == 0, m_Recorder);
            Touch(m_Dir / "a" / "b" / "f");
            observer.DetachObserver(id);
        }
        observer.AttachObserver(Wide(m_Root), true, m_Recorder); // left for the destructor
    }
    EXPECT_EQ(ProcEntries("/proc/self/fd", "", ""), before);
    EXPECT_EQ(ProcEntries("/proc/self/task", "comm", "EventListener"), 0);

    Zym::SmartPtr<RecordingObserver> detached = new RecordingObserver;
    const long id = m_Observer.AttachObserver(Wide(m_Root), false, detached);
    m_Observer.DetachObserver(id + 1);
    EventsBefore(*detached, m_Dir / "seen");
    m_Observer.DetachObserver(id);
    m_Observer.DetachObserver(id);
    m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder);
    EventsBefore(*m_Recorder, m_Dir / "unseen");
    EXPECT_EQ(detached->Events().size(), 1u) << Describe(detached->Events());
}

// Neither a raising callback nor one that detaches (which would wait for
// itself) stops the listener.
TEST_F(Lifecycle, CallbacksThatRaiseOrDetachAreSurvived) {
    std::atomic<long> id{0};
    std::string detachError;
    Signal first;
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (first.IsSet())
            return;
        try {
            m_Observer.DetachObserver(id);
        } catch (const ZymWindows::WindowsException& error) {
            detachError = error.WhatUtf8();
        }
        first.Set();
        throw std::runtime_error("observer failure");
    };
    id = m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder);
    Touch(m_Dir / "f");
    ASSERT_TRUE(first.Wait());
    EXPECT_TRUE(EventsBefore(*m_Recorder, m_Dir / "g").empty());
    EXPECT_EQ(detachError, "A potential deadlock condition has been detected.");
}

// A read that completes while a detach is under way: the listener stops the
// source on that completion, ahead of the detach's own stop packet.
TEST_F(Lifecycle, ADetachReturnsWhenAChangeCompletesInTheMiddleOfIt) {
    const long id = m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder);
    Signal held, released, done;
    std::atomic<std::thread::id> detacher;
    const ProbeScope probe([&](Point point, long source, int state) {
        if (source != id)
            return;
        if (point == Point::PACKET_TAKEN && !held.IsSet()) {
            held.Set();
            released.Wait();
        } else if (point == Point::PACKET_DONE && released.IsSet()) {
            done.Set();
        } else if (point == Point::STATE_STORED && state == WinNTObserverSource::STOPPING &&
                   std::this_thread::get_id() == detacher.load()) {
            // The completion is handled between the detach's steps.
            released.Set();
            done.Wait();
        }
    });
    Touch(m_Dir / "f");
    ASSERT_TRUE(held.Wait());
    ExpectReturns([&] {
        detacher = std::this_thread::get_id();
        m_Observer.DetachObserver(id);
    });
    EXPECT_EQ(m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder), id + 1);
}

// The parent's source sees the directory come back, and the file in it,
// after which the lost source has had its chance to report.
TEST_F(Lifecycle, ADeletedDirectoryReportsOneErrorThenFallsSilent) {
    const std::string watched = m_Root + "/watched";
    fs::create_directory(watched);
    const long id = m_Observer.AttachObserver(Wide(watched), false, m_Recorder);
    Touch(watched + "/f");
    fs::remove_all(watched);
    ASSERT_TRUE(m_Recorder->WaitUntil([](const Seen& seen) { return !seen.errors.empty(); }));
    Zym::SmartPtr<RecordingObserver> parent = new RecordingObserver;
    m_Observer.AttachObserver(Wide(m_Root), false, parent);
    fs::create_directory(watched);
    Touch(watched + "/g");
    EventsBefore(*parent, m_Dir / "marker");
    const Seen seen = m_Recorder->Snapshot();
    EXPECT_EQ(seen.errors, std::vector{Wide(watched + "|" + std::to_string(id) +
                                            "|The system cannot find the file specified.")});
    EXPECT_EQ(Describe(seen.events), Expected(watched, id, {"created f", "deleted f"}));
}
