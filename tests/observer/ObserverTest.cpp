// A real directory, real file operations, one observer per test.
#include "ObserverTestSupport.h"
#include "TestFiles.h"

#include <ZymCharset/Utf.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/Exceptions.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace observertest;
namespace fs = std::filesystem;
using ZymWindows::WinNTDirectoryObserver;
using ZymWindows::WinNTObserverSource;
using Point = ZymWindows::ObserverProbe::Point;

namespace {

// The threads of this process with the given name.
int ThreadsNamed(const std::string& name) {
    int count = 0;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        std::getline(comm, line);
        count += line == name;
    }
    return count;
}

// The inotify instances this process holds.
int InotifyInstances() {
    int count = 0;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += fs::read_symlink(fd.path(), error).string() == "anon_inode:inotify";
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
    const std::u16string suffix = Wide("\\" + marker.filename().string());
    const auto isMarker = [&](const DeviceEvent& event) {
        return event.path.size() >= suffix.size() &&
               event.path.compare(event.path.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    EXPECT_TRUE(recorder.WaitUntil(
        [&](const auto& events) { return std::any_of(events.begin(), events.end(), isMarker); }));
    auto events = recorder.Events();
    events.erase(std::find_if(events.begin(), events.end(), isMarker), events.end());
    return events;
}

// A scratch directory and an observer with a recorder for one test.
class Observed : public ::testing::Test {
protected:
    zymtest::ScratchDirectory m_Scratch;
    const fs::path& m_Dir = m_Scratch.Path();
    WinNTDirectoryObserver m_Observer;
    Zym::SmartPtr<RecordingObserver> m_Recorder = new RecordingObserver;
};

using Attach = Observed;
using Events = Observed;
using Recursion = Observed;
using Overflow = Observed;
using Lifecycle = Observed;
using Errors = Observed;

} // namespace

// A failed attach uses up its id: the first success after four failures,
// counting from one, is the fifth.
TEST_F(Attach, FailuresCarryTheSystemTextAndLeaveTheListenerUnstarted) {
    zymtest::WriteFile(m_Dir / "file", "x");
    EXPECT_EQ(AttachError(m_Observer, m_Dir / "missing"),
              "The system cannot find the file specified.");
    EXPECT_EQ(AttachError(m_Observer, m_Dir / "missing" / "below"),
              "The system cannot find the path specified.");
    EXPECT_EQ(AttachError(m_Observer, m_Dir / "file"), "The directory name is invalid.");
    EXPECT_EQ(AttachError(m_Observer, ""), "The system cannot find the path specified.");
    EXPECT_EQ(ThreadsNamed("EventListener"), 0);
    EXPECT_EQ(m_Observer.AttachObserver(Wide(m_Dir), false, new RecordingObserver), 5);
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
}

TEST_F(Attach, ADirectoryTheAccountCannotReadIsAccessDenied) {
    const fs::path secret = m_Dir / "secret";
    fs::create_directory(secret);
    chmod(secret.c_str(), 0700);
    chmod(m_Dir.c_str(), 0755);
    // The check needs an account without root's override; a child becomes
    // nobody and reports what it got through its exit status.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        WinNTDirectoryObserver observer;
        _exit(AttachError(observer, secret) == "Access is denied." ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "cannot switch to the account nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The event path is the source path as given, a trailing separator and all.
TEST_F(Events, CreateModifyRenameDeleteComeInOrderWithThePathAsGiven) {
    const std::string given = m_Dir.string() + "/";
    const long id = m_Observer.AttachObserver(Wide(given), false, m_Recorder);
    Touch(m_Dir / "a");
    ASSERT_TRUE(m_Recorder->WaitForEvents(1));
    {
        std::ofstream out(m_Dir / "a", std::ios::app);
        out << "data";
    }
    ASSERT_TRUE(m_Recorder->WaitForEvents(2));
    chmod((m_Dir / "a").c_str(), 0600);
    fs::rename(m_Dir / "a", m_Dir / "b");
    fs::remove(m_Dir / "b");
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, given, "a", id),  Event(DeviceEvent::MODIFIED, given, "a", id),
        Event(DeviceEvent::MODIFIED, given, "a", id), Event(DeviceEvent::DELETED, given, "a", id),
        Event(DeviceEvent::CREATED, given, "b", id),  Event(DeviceEvent::DELETED, given, "b", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
    EXPECT_TRUE(m_Recorder->Errors().empty());
}

TEST_F(Events, WithoutRecursionOnlyTheDirectorysOwnEntriesCount) {
    fs::create_directory(m_Dir / "sub");
    const long id = m_Observer.AttachObserver(Wide(m_Dir), false, m_Recorder);
    Touch(m_Dir / "sub" / "inner");
    fs::create_directory(m_Dir / "new");
    Touch(m_Dir / "new" / "inner");
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    ASSERT_EQ(events.size(), 1u) << Describe(events);
    EXPECT_EQ(events[0], Event(DeviceEvent::CREATED, m_Dir, "new", id));
}

// More directories than the system gives inotify instances to an account
// (128 by default): the watches of an observer share one instance and one
// listener.
TEST_F(Events, ManyDirectoriesShareOneInstanceAndOneListener) {
    constexpr int DIRECTORIES = 300;
    const int before = InotifyInstances();
    std::vector<Zym::SmartPtr<RecordingObserver>> recorders;
    for (int i = 0; i < DIRECTORIES; ++i) {
        const fs::path dir = m_Dir / std::to_string(i);
        fs::create_directory(dir);
        recorders.push_back(new RecordingObserver);
        ASSERT_EQ(m_Observer.AttachObserver(Wide(dir), false, recorders.back()), i + 1);
    }
    EXPECT_EQ(InotifyInstances(), before + 1);
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
    for (int i = 0; i < DIRECTORIES; i += 100)
        Touch(m_Dir / std::to_string(i) / "f");
    for (int i = 0; i < DIRECTORIES; i += 100) {
        ASSERT_TRUE(recorders[i]->WaitForEvents(1));
        EXPECT_EQ(recorders[i]->Events()[0],
                  Event(DeviceEvent::CREATED, m_Dir / std::to_string(i), "f", i + 1));
    }
}

TEST_F(Recursion, DirectoriesMadeAtFullSpeedReportEverythingOnce) {
    const std::string root = m_Dir;
    const long id = m_Observer.AttachObserver(Wide(root), true, m_Recorder);
    constexpr int ROUNDS = 200;
    std::vector<DeviceEvent> expected;
    for (int i = 0; i < ROUNDS; ++i) {
        const std::string a = "a" + std::to_string(i);
        // mkdir -p a/b/c && touch a/b/c/f, with nothing in between, and a
        // file beside b made while b's listing may be under way.
        fs::create_directories(m_Dir / a / "b" / "c");
        Touch(m_Dir / a / "b" / "c" / "f");
        Touch(m_Dir / a / "g");
        for (const std::string& relative : {a, a + "/b", a + "/b/c", a + "/b/c/f", a + "/g"})
            expected.push_back(Event(DeviceEvent::CREATED, root, relative, id));
    }
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    // What a new directory already holds comes in the order of its listing;
    // a directory always comes before what it holds.
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::u16string& path = events[i].path;
        const auto slash = path.rfind(u'/');
        if (slash < EventPath(root, "").size())
            continue; // directly in the watched directory
        const std::u16string parent = path.substr(0, slash);
        EXPECT_TRUE(std::any_of(events.begin(), events.begin() + i,
                                [&](const DeviceEvent& e) { return e.path == parent; }))
            << ZymCharset::ToUtf8(path) << " came before its directory";
    }
    auto sorted = events;
    const auto byPath = [](const DeviceEvent& a, const DeviceEvent& b) { return a.path < b.path; };
    std::sort(sorted.begin(), sorted.end(), byPath);
    std::sort(expected.begin(), expected.end(), byPath);
    EXPECT_EQ(sorted, expected) << Describe(events);
}

// The changes are made while the listener is busy, so that it meets them as
// one backlog: the directory moved out is followed by changes inside it.
TEST_F(Recursion, RenamedDirectoriesFollowTheirNewPathAndOnesMovedOutStopAtOnce) {
    const zymtest::ScratchDirectory outside;
    const std::string root = m_Dir;
    fs::create_directories(m_Dir / "old" / "deep");
    fs::create_directory(m_Dir / "leaving");
    const long id = m_Observer.AttachObserver(Wide(root), true, m_Recorder);
    Signal busy, released;
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (!busy.IsSet()) {
            busy.Set();
            released.Wait();
        }
    };
    Touch(m_Dir / "first");
    ASSERT_TRUE(busy.Wait());
    fs::rename(m_Dir / "old", m_Dir / "new");
    Touch(m_Dir / "new" / "deep" / "f");
    fs::rename(m_Dir / "leaving", outside.Path() / "gone");
    Touch(outside.Path() / "gone" / "unseen");
    fs::create_directory(outside.Path() / "gone" / "unseen-dir");
    released.Set();
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, root, "first", id),
        Event(DeviceEvent::DELETED, root, "old", id),
        Event(DeviceEvent::CREATED, root, "new", id),
        Event(DeviceEvent::CREATED, root, "new/deep/f", id),
        Event(DeviceEvent::DELETED, root, "leaving", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
}

TEST_F(Recursion, ADirectoryMovedInReportsWhatItHolds) {
    const zymtest::ScratchDirectory outside;
    fs::create_directories(outside.Path() / "box" / "inner");
    Touch(outside.Path() / "box" / "inner" / "f");
    const long id = m_Observer.AttachObserver(Wide(m_Dir), true, m_Recorder);
    fs::rename(outside.Path() / "box", m_Dir / "box");
    ASSERT_TRUE(m_Recorder->WaitForEvents(3));
    Touch(m_Dir / "box" / "inner" / "g");
    const auto events = EventsBefore(*m_Recorder, m_Dir / "marker");
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, m_Dir, "box", id),
        Event(DeviceEvent::CREATED, m_Dir, "box/inner", id),
        Event(DeviceEvent::CREATED, m_Dir, "box/inner/f", id),
        Event(DeviceEvent::CREATED, m_Dir, "box/inner/g", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
}

TEST_F(Overflow, AStalledConsumerGetsAnEmptyBatchAndNoSilentLoss) {
    const std::string root = m_Dir;
    ZymThread::EventSemaphore release(true, false);
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) { release.Wait(); };
    const long id = m_Observer.AttachObserver(Wide(root), false, m_Recorder);
    constexpr int FILES = 20000; // more than the kernel queues (16384 by default)
    for (int i = 0; i < FILES; ++i)
        Touch(m_Dir / std::to_string(i));
    release.Set();
    ASSERT_TRUE(m_Recorder->WaitForEmptyBatch())
        << m_Recorder->Events().size() << " events and no empty batch";
    // Every event names a file that was created, in creation order.
    const auto events = m_Recorder->Events();
    int last = -1;
    for (const auto& event : events) {
        ASSERT_EQ(event.kind, DeviceEvent::CREATED);
        ASSERT_EQ(event.sourceId, id);
        const int number = std::stoi(ZymCharset::ToUtf8(event.path.substr(root.size() + 1)));
        EXPECT_GT(number, last);
        last = number;
    }
    EXPECT_LT(events.size(), std::size_t(FILES));
    // Watching goes on after the overflow.
    Touch(m_Dir / "later");
    EXPECT_TRUE(m_Recorder->WaitUntil(
        [&](const auto& all) { return all.back().path == EventPath(root, "later"); }));
}

TEST_F(Lifecycle, AttachDetachCyclesLeaveNoDescriptorOrThreadBehind) {
    fs::create_directories(m_Dir / "a" / "b");
    const std::size_t before = OpenDescriptors();
    for (int round = 0; round < 20; ++round) {
        WinNTDirectoryObserver observer;
        Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
        for (int i = 0; i < 5; ++i) {
            const long id = observer.AttachObserver(Wide(m_Dir), i % 2 == 0, recorder);
            Touch(m_Dir / "a" / "b" / "f");
            observer.DetachObserver(id);
        }
        observer.AttachObserver(Wide(m_Dir), true, recorder); // left for the destructor
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(ThreadsNamed("EventListener"), 0);
}

// A second source on the same directory sees the change that the detached
// one must not.
TEST_F(Lifecycle, DetachStopsTheBatchesAndUnknownIdsAreIgnored) {
    const long id = m_Observer.AttachObserver(Wide(m_Dir), false, m_Recorder);
    m_Observer.DetachObserver(id + 1);
    Touch(m_Dir / "seen");
    ASSERT_TRUE(m_Recorder->WaitForEvents(1));
    m_Observer.DetachObserver(id);
    m_Observer.DetachObserver(id);
    const std::size_t batches = m_Recorder->Batches();
    Zym::SmartPtr<RecordingObserver> witness = new RecordingObserver;
    m_Observer.AttachObserver(Wide(m_Dir), false, witness);
    EXPECT_EQ(EventsBefore(*witness, m_Dir / "unseen").size(), 0u);
    EXPECT_EQ(m_Recorder->Batches(), batches);
    EXPECT_EQ(m_Recorder->Events().size(), 1u);
}

// Neither a raising callback nor one that attaches or detaches stops the
// listener.
TEST_F(Lifecycle, CallbacksThatRaiseOrAttachOrDetachAreSurvived) {
    std::atomic<long> id{0};
    std::string detachError, attachError;
    Signal first;
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (first.IsSet())
            return;
        try {
            m_Observer.DetachObserver(id);
        } catch (const ZymWindows::WindowsException& error) {
            detachError = error.WhatUtf8();
        }
        try {
            m_Observer.AttachObserver(Wide(m_Dir), false, m_Recorder);
        } catch (const ZymWindows::WindowsException& error) {
            attachError = error.WhatUtf8();
        }
        first.Set();
        throw std::runtime_error("observer failure");
    };
    id = m_Observer.AttachObserver(Wide(m_Dir), false, m_Recorder);
    Touch(m_Dir / "f");
    ASSERT_TRUE(first.Wait());
    Touch(m_Dir / "g");
    ASSERT_TRUE(m_Recorder->WaitUntil([&](const auto& events) {
        return !events.empty() && events.back().path == EventPath(m_Dir, "g");
    }));
    EXPECT_EQ(detachError, "A potential deadlock condition has been detected.");
    EXPECT_EQ(attachError, "A potential deadlock condition has been detected.");
}

// The parent's source sees the directory come back, and the file in it,
// after which the lost source has had its chance to report.
TEST_F(Errors, ADeletedDirectoryReportsOneErrorThenFallsSilent) {
    const fs::path watched = m_Dir / "watched";
    fs::create_directory(watched);
    const long id = m_Observer.AttachObserver(Wide(watched), false, m_Recorder);
    Touch(watched / "f");
    fs::remove_all(watched);
    ASSERT_TRUE(m_Recorder->WaitForErrors(1));
    Zym::SmartPtr<RecordingObserver> parent = new RecordingObserver;
    m_Observer.AttachObserver(Wide(m_Dir), false, parent);
    fs::create_directory(watched);
    Touch(watched / "g");
    EventsBefore(*parent, m_Dir / "marker");
    const auto errors = m_Recorder->Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].path, Wide(watched));
    EXPECT_EQ(errors[0].sourceId, id);
    EXPECT_EQ(ZymCharset::ToUtf8(errors[0].message), "The system cannot find the file specified.");
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, watched, "f", id),
        Event(DeviceEvent::DELETED, watched, "f", id),
    };
    EXPECT_EQ(m_Recorder->Events(), expected) << Describe(m_Recorder->Events());
}

// A read that completes while a detach is under way: the listener stops the
// source on that completion, ahead of the detach's own stop packet.
TEST_F(Lifecycle, ADetachReturnsWhenAChangeCompletesInTheMiddleOfIt) {
    const long id = m_Observer.AttachObserver(Wide(m_Dir), false, m_Recorder);
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
    EXPECT_EQ(m_Observer.AttachObserver(Wide(m_Dir), false, m_Recorder), id + 1);
}
