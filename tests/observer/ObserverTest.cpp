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

std::string AttachError(WinNTDirectoryObserver& observer, const std::string& path) {
    try {
        observer.AttachObserver(Wide(path), false, new RecordingObserver);
    } catch (const ZymWindows::WindowsException& error) {
        return error.WhatUtf8();
    }
    return "attached";
}

// The events seen so far, once `count` have come (or the wait gave up).
std::vector<DeviceEvent> Collect(const RecordingObserver& recorder, std::size_t count) {
    recorder.WaitForEvents(count);
    std::this_thread::sleep_for(QUIET_TIME); // and nothing more behind them
    return recorder.Events();
}

} // namespace

TEST(Attach, IdsCountFromOneAndAFailedAttachUsesItsNumber) {
    const zymtest::ScratchDirectory dir;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    EXPECT_EQ(observer.AttachObserver(Wide(dir.Path()), false, recorder), 1);
    EXPECT_EQ(observer.AttachObserver(Wide(dir.Path()), true, recorder), 2);
    EXPECT_THROW(observer.AttachObserver(Wide(dir.Path() / "missing"), false, recorder),
                 ZymWindows::WindowsException);
    EXPECT_EQ(observer.AttachObserver(Wide(dir.Path()), false, recorder), 4);
}

TEST(Attach, FailuresCarryTheSystemTextAndLeaveTheListenerUnstarted) {
    const zymtest::ScratchDirectory dir;
    zymtest::WriteFile(dir.Path() / "file", "x");
    WinNTDirectoryObserver observer;
    EXPECT_EQ(AttachError(observer, dir.Path() / "missing"),
              "The system cannot find the file specified.");
    EXPECT_EQ(AttachError(observer, dir.Path() / "missing" / "below"),
              "The system cannot find the path specified.");
    EXPECT_EQ(AttachError(observer, dir.Path() / "file"), "The directory name is invalid.");
    EXPECT_EQ(AttachError(observer, ""), "The system cannot find the path specified.");
    EXPECT_EQ(ThreadsNamed("EventListener"), 0);
    EXPECT_EQ(observer.AttachObserver(Wide(dir.Path()), false, new RecordingObserver), 5);
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
}

TEST(Attach, ADirectoryTheAccountCannotReadIsAccessDenied) {
    const zymtest::ScratchDirectory dir;
    const fs::path secret = dir.Path() / "secret";
    fs::create_directory(secret);
    chmod(secret.c_str(), 0700);
    chmod(dir.Path().c_str(), 0755);
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

TEST(Events, CreateModifyRenameDeleteComeInOrder) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path();
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(root), false, recorder);

    Touch(dir.Path() / "a");
    ASSERT_TRUE(recorder->WaitForEvents(1));
    {
        std::ofstream out(dir.Path() / "a", std::ios::app);
        out << "data";
    }
    ASSERT_TRUE(recorder->WaitForEvents(2));
    fs::rename(dir.Path() / "a", dir.Path() / "b");
    fs::remove(dir.Path() / "b");
    const auto events = Collect(*recorder, 5);
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, root, "a", id), Event(DeviceEvent::MODIFIED, root, "a", id),
        Event(DeviceEvent::DELETED, root, "a", id), Event(DeviceEvent::CREATED, root, "b", id),
        Event(DeviceEvent::DELETED, root, "b", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
    EXPECT_TRUE(recorder->Errors().empty());
}

TEST(Events, AttributeChangesAreModifications) {
    const zymtest::ScratchDirectory dir;
    Touch(dir.Path() / "f");
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(dir.Path()), false, recorder);
    chmod((dir.Path() / "f").c_str(), 0600);
    const auto events = Collect(*recorder, 1);
    ASSERT_EQ(events.size(), 1u) << Describe(events);
    EXPECT_EQ(events[0], Event(DeviceEvent::MODIFIED, dir.Path(), "f", id));
}

TEST(Events, ThePathIsTheSourcePathAsGiven) {
    const zymtest::ScratchDirectory dir;
    const std::string given = dir.Path().string() + "/";
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(given), false, recorder);
    Touch(dir.Path() / "x");
    ASSERT_TRUE(recorder->WaitForEvents(1));
    EXPECT_EQ(recorder->Events()[0].path, Wide(given + "\\x"));
    EXPECT_EQ(recorder->Events()[0].sourceId, id);
}

TEST(Events, WithoutRecursionOnlyTheDirectorysOwnEntriesCount) {
    const zymtest::ScratchDirectory dir;
    fs::create_directory(dir.Path() / "sub");
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(dir.Path()), false, recorder);
    Touch(dir.Path() / "sub" / "inner");
    fs::create_directory(dir.Path() / "new");
    Touch(dir.Path() / "new" / "inner");
    const auto events = Collect(*recorder, 1);
    ASSERT_EQ(events.size(), 1u) << Describe(events);
    EXPECT_EQ(events[0], Event(DeviceEvent::CREATED, dir.Path(), "new", id));
}

TEST(Events, SeveralSourcesShareOneListener) {
    const zymtest::ScratchDirectory one, two;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> first = new RecordingObserver, second = new RecordingObserver;
    const long a = observer.AttachObserver(Wide(one.Path()), false, first);
    const long b = observer.AttachObserver(Wide(two.Path()), false, second);
    Touch(one.Path() / "1");
    Touch(two.Path() / "2");
    ASSERT_TRUE(first->WaitForEvents(1));
    ASSERT_TRUE(second->WaitForEvents(1));
    EXPECT_EQ(first->Events()[0], Event(DeviceEvent::CREATED, one.Path(), "1", a));
    EXPECT_EQ(second->Events()[0], Event(DeviceEvent::CREATED, two.Path(), "2", b));
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
}

TEST(Recursion, DirectoriesMadeAtFullSpeedReportEverythingOnce) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path();
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(root), true, recorder);
    constexpr int ROUNDS = 200;
    std::vector<DeviceEvent> expected;
    for (int i = 0; i < ROUNDS; ++i) {
        const std::string a = "a" + std::to_string(i);
        // mkdir -p a/b/c && touch a/b/c/f, with nothing in between, and a
        // file beside b made while b's listing may be under way.
        fs::create_directories(dir.Path() / a / "b" / "c");
        Touch(dir.Path() / a / "b" / "c" / "f");
        Touch(dir.Path() / a / "g");
        for (const std::string& relative : {a, a + "/b", a + "/b/c", a + "/b/c/f", a + "/g"})
            expected.push_back(Event(DeviceEvent::CREATED, root, relative, id));
    }
    const auto events = Collect(*recorder, expected.size());
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

TEST(Recursion, ChangesDeepInTheTreeCarryTheirRelativePath) {
    const zymtest::ScratchDirectory dir;
    fs::create_directories(dir.Path() / "x" / "y");
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(dir.Path()), true, recorder);
    zymtest::WriteFile(dir.Path() / "x" / "y" / "z", "");
    fs::remove(dir.Path() / "x" / "y" / "z");
    const auto events = Collect(*recorder, 2);
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, dir.Path(), "x/y/z", id),
        Event(DeviceEvent::DELETED, dir.Path(), "x/y/z", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
}

TEST(Recursion, RenamedDirectoriesReportUnderTheNewPathAndMovedOutOnesStop) {
    const zymtest::ScratchDirectory dir, outside;
    const std::string root = dir.Path();
    fs::create_directories(dir.Path() / "old" / "deep");
    fs::create_directory(dir.Path() / "leaving");
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(root), true, recorder);

    fs::rename(dir.Path() / "old", dir.Path() / "new");
    Touch(dir.Path() / "new" / "deep" / "f");
    fs::rename(dir.Path() / "leaving", outside.Path() / "gone");
    ASSERT_TRUE(recorder->WaitForEvents(4));
    Touch(outside.Path() / "gone" / "unseen");
    Touch(dir.Path() / "last");
    const auto events = Collect(*recorder, 5);
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::DELETED, root, "old", id),
        Event(DeviceEvent::CREATED, root, "new", id),
        Event(DeviceEvent::CREATED, root, "new/deep/f", id),
        Event(DeviceEvent::DELETED, root, "leaving", id),
        Event(DeviceEvent::CREATED, root, "last", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
}

TEST(Recursion, ADirectoryMovedInReportsWhatItHolds) {
    const zymtest::ScratchDirectory dir, outside;
    fs::create_directories(outside.Path() / "box" / "inner");
    Touch(outside.Path() / "box" / "inner" / "f");
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(dir.Path()), true, recorder);
    fs::rename(outside.Path() / "box", dir.Path() / "box");
    ASSERT_TRUE(recorder->WaitForEvents(3));
    Touch(dir.Path() / "box" / "inner" / "g");
    const auto events = Collect(*recorder, 4);
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, dir.Path(), "box", id),
        Event(DeviceEvent::CREATED, dir.Path(), "box/inner", id),
        Event(DeviceEvent::CREATED, dir.Path(), "box/inner/f", id),
        Event(DeviceEvent::CREATED, dir.Path(), "box/inner/g", id),
    };
    EXPECT_EQ(events, expected) << Describe(events);
}

TEST(Overflow, AStalledConsumerGetsAnEmptyBatchAndNoSilentLoss) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path();
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    ZymThread::EventSemaphore release(true, false);
    recorder->onBatch = [&](std::vector<DeviceEvent>&) { release.Wait(); };
    const long id = observer.AttachObserver(Wide(root), false, recorder);
    constexpr int FILES = 20000; // more than the kernel queues (16384 by default)
    for (int i = 0; i < FILES; ++i)
        Touch(dir.Path() / std::to_string(i));
    release.Set();
    ASSERT_TRUE(recorder->WaitForEmptyBatch())
        << recorder->Events().size() << " events and no empty batch";
    // Every event names a file that was created, in creation order.
    const auto events = recorder->Events();
    std::size_t reported = 0;
    int last = -1;
    for (const auto& event : events) {
        ASSERT_EQ(event.kind, DeviceEvent::CREATED);
        ASSERT_EQ(event.sourceId, id);
        const int number = std::stoi(ZymCharset::ToUtf8(event.path.substr(root.size() + 1)));
        EXPECT_GT(number, last);
        last = number;
        ++reported;
    }
    EXPECT_LT(reported, std::size_t(FILES));
    // Watching goes on after the overflow.
    Touch(dir.Path() / "later");
    EXPECT_TRUE(recorder->WaitUntil(
        [&](const auto& all) { return all.back().path == EventPath(root, "later"); }));
}

TEST(Lifecycle, AttachDetachCyclesLeaveNoDescriptorOrThreadBehind) {
    const zymtest::ScratchDirectory dir;
    fs::create_directories(dir.Path() / "a" / "b");
    const std::size_t before = OpenDescriptors();
    for (int round = 0; round < 20; ++round) {
        WinNTDirectoryObserver observer;
        Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
        for (int i = 0; i < 5; ++i) {
            const long id = observer.AttachObserver(Wide(dir.Path()), i % 2 == 0, recorder);
            Touch(dir.Path() / "a" / "b" / "f");
            observer.DetachObserver(id);
        }
        observer.AttachObserver(Wide(dir.Path()), true, recorder); // left for the destructor
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(ThreadsNamed("EventListener"), 0);
}

TEST(Lifecycle, DetachStopsTheBatchesAndUnknownIdsAreIgnored) {
    const zymtest::ScratchDirectory dir;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(dir.Path()), false, recorder);
    observer.DetachObserver(id + 1);
    Touch(dir.Path() / "seen");
    ASSERT_TRUE(recorder->WaitForEvents(1));
    observer.DetachObserver(id);
    observer.DetachObserver(id);
    const std::size_t batches = recorder->Batches();
    Touch(dir.Path() / "unseen");
    std::this_thread::sleep_for(QUIET_TIME);
    EXPECT_EQ(recorder->Batches(), batches);
    EXPECT_EQ(recorder->Events().size(), 1u);
}

TEST(Lifecycle, AttachingOrDetachingFromACallbackIsRejected) {
    const zymtest::ScratchDirectory dir;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    std::atomic<long> id{0};
    std::string detachError, attachError;
    bool tried = false;
    recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (std::exchange(tried, true))
            return;
        try {
            observer.DetachObserver(id);
        } catch (const ZymWindows::WindowsException& error) {
            detachError = error.WhatUtf8();
        }
        try {
            observer.AttachObserver(Wide(dir.Path()), false, recorder);
        } catch (const ZymWindows::WindowsException& error) {
            attachError = error.WhatUtf8();
        }
    };
    id = observer.AttachObserver(Wide(dir.Path()), false, recorder);
    Touch(dir.Path() / "f");
    ASSERT_TRUE(recorder->WaitForEvents(1));
    EXPECT_EQ(detachError, "A potential deadlock condition has been detected.");
    EXPECT_EQ(attachError, "A potential deadlock condition has been detected.");
    // Still attached and working.
    Touch(dir.Path() / "g");
    EXPECT_TRUE(recorder->WaitForEvents(2));
}

TEST(Lifecycle, AnObserverThatRaisesDoesNotStopTheListener) {
    const zymtest::ScratchDirectory dir;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    std::atomic<int> calls{0};
    recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (calls++ == 0)
            throw std::runtime_error("observer failure");
    };
    observer.AttachObserver(Wide(dir.Path()), false, recorder);
    Touch(dir.Path() / "f");
    while (calls == 0)
        std::this_thread::sleep_for(1ms);
    Touch(dir.Path() / "g");
    ASSERT_TRUE(recorder->WaitForEvents(1));
    EXPECT_EQ(recorder->Events().back().path, EventPath(dir.Path(), "g"));
}

TEST(Errors, ADeletedDirectoryReportsOneErrorThenFallsSilent) {
    const zymtest::ScratchDirectory dir;
    const fs::path watched = dir.Path() / "watched";
    fs::create_directory(watched);
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(watched), false, recorder);
    Touch(watched / "f");
    fs::remove_all(watched);
    ASSERT_TRUE(recorder->WaitForErrors(1));
    fs::create_directory(watched);
    Touch(watched / "g");
    std::this_thread::sleep_for(QUIET_TIME);
    const auto errors = recorder->Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].path, Wide(watched));
    EXPECT_EQ(errors[0].sourceId, id);
    EXPECT_EQ(ZymCharset::ToUtf8(errors[0].message), "The system cannot find the file specified.");
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, watched, "f", id),
        Event(DeviceEvent::DELETED, watched, "f", id),
    };
    EXPECT_EQ(recorder->Events(), expected) << Describe(recorder->Events());
    observer.DetachObserver(id);
}
