// A real directory, real file operations, one observer per test.
#include "ObserverTestSupport.h"
#include "TestFiles.h"
#include "Wine.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

using namespace observertest;
namespace fs = std::filesystem;
using ZymWindows::WinNTDirectoryObserver;
using ZymWindows::WinNTObserverSource;
using Point = ZymWindows::ObserverProbe::Point;

namespace {

std::string AttachError(WinNTDirectoryObserver& observer, const std::string& path) {
    try {
        observer.AttachObserver(Wide(path), false, new RecordingObserver);
    } catch (const ZymWindows::WindowsException& error) {
        return error.WhatUtf8();
    }
    return "attached";
}

using Attach = Observed;
using Events = Observed;
using Recursion = Observed;
using Lifecycle = Observed;

} // namespace

// A failed attach uses up its id: the first success after four failures,
// counting from one, is the fifth.
TEST_F(Attach, FailuresCarryTheSystemTextAndLeaveTheListenerUnstarted) {
    zymtest::WriteFile(m_Dir / "file", "x");
    EXPECT_EQ(AttachError(m_Observer, (m_Dir / "missing").string()),
              "The system cannot find the file specified.");
    EXPECT_EQ(AttachError(m_Observer, (m_Dir / "missing" / "below").string()),
              "The system cannot find the path specified.");
    EXPECT_EQ(AttachError(m_Observer, (m_Dir / "file").string()), "The directory name is invalid.");
    EXPECT_EQ(AttachError(m_Observer, ""), "The system cannot find the path specified.");
    EXPECT_EQ(ThreadsNamed("EventListener"), 0);
    EXPECT_EQ(m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder), 5);
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
}

// The event path is the source path as given, a trailing separator and all.
// Without recursion only the directory's own entries count. How many
// changes of one file in a row make one record is the system's choice.
TEST_F(Events, CreateModifyRenameDeleteComeInOrderWithThePathAsGiven) {
    const std::string given = m_Root + char(fs::path::preferred_separator);
    fs::create_directory(m_Dir / "sub");
    const long id = m_Observer.AttachObserver(Wide(given), false, m_Recorder);
    Touch(m_Dir / "sub" / "inner");
    Touch(m_Dir / "a");
    std::ofstream(m_Dir / "a", std::ios::app) << "data";
    fs::last_write_time(m_Dir / "a", fs::file_time_type::clock::now() - std::chrono::hours(1));
    fs::rename(m_Dir / "a", m_Dir / u8"bé");
    fs::remove(m_Dir / u8"bé");
    fs::create_directory(m_Dir / "new");
    Touch(m_Dir / "new" / "inner");
    std::vector<std::string> lines =
        zymtest::SplitLines(Describe(EventsBefore(*m_Recorder, m_Dir / "marker")));
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    EXPECT_EQ(lines, zymtest::SplitLines(Expected(given, id,
                                                  {"created a", "modified a", "deleted a",
                                                   "created bé", "deleted bé", "created new"})));
    EXPECT_TRUE(m_Recorder->Snapshot().errors.empty());
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
    const auto sorted = [](const std::string& lines) {
        std::vector<std::string> split = zymtest::SplitLines(lines);
        std::sort(split.begin(), split.end());
        return split;
    };
    EXPECT_EQ(sorted(Describe(EventsBefore(*m_Recorder, m_Dir / "marker"))),
              sorted(Expected(m_Root, id, expected)));
}

// The changes are made while the listener is busy, so that it meets them as
// one backlog, with changes inside the directory moved out behind its move.
TEST_F(Recursion, RenamedDirectoriesFollowTheirNewPathMovedInOnesReportWhatTheyHold) {
    ZYMTEST_SKIP_UNDER_WINE("Wine goes on reporting a directory renamed out of the tree, under "
                            "its old name, and does not watch a tree moved in");
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
    ASSERT_TRUE(m_Recorder->WaitForEvents(8)) << Describe(m_Recorder->Events());
    Touch(m_Dir / "box" / "inner" / "g");
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    EXPECT_EQ(Describe(events),
              Expected(m_Root, id,
                       {"created first", "deleted old", "created new", "created new/deep/f",
                        "deleted leaving", "created box", "created box/inner",
                        "created box/inner/f", "created box/inner/g"}));
}

// Unknown ids are ignored; after a detach, another source on the same
// directory sees the change that the detached one must not.
TEST_F(Lifecycle, AttachDetachCyclesLeaveNothingBehindAndDetachedSourcesStaySilent) {
    fs::create_directories(m_Dir / "a" / "b");
    const int before = OpenHandles();
    for (int round = 0; round < 20; ++round) {
        WinNTDirectoryObserver observer;
        for (int i = 0; i < 5; ++i) {
            const long id = observer.AttachObserver(Wide(m_Root), i % 2 == 0, m_Recorder);
            Touch(m_Dir / "a" / "b" / "f");
            observer.DetachObserver(id);
        }
        observer.AttachObserver(Wide(m_Root), true, m_Recorder); // left for the destructor
    }
    EXPECT_EQ(OpenHandles(), before);
    EXPECT_EQ(ThreadsNamed("EventListener"), 0);

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
