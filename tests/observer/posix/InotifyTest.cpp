// The Linux completion port: one inotify instance per observer.
#include "../ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace observertest;
namespace fs = std::filesystem;

namespace {

int InotifyInstances() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += fs::read_symlink(entry.path(), error).string() == "anon_inode:inotify";
    }
    return count;
}

} // namespace

// More directories than the system gives inotify instances to an account
// (128 by default): the watches of an observer share one instance and one
// listener.
TEST(Inotify, ManyDirectoriesShareOneInstanceAndOneListener) {
    constexpr int DIRECTORIES = 300;
    const zymtest::ScratchDirectory scratch;
    ZymWindows::WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const int before = InotifyInstances();
    for (int i = 1; i <= DIRECTORIES; ++i) {
        const fs::path dir = scratch.Path() / std::to_string(i);
        fs::create_directory(dir);
        ASSERT_EQ(observer.AttachObserver(Wide(dir.string()), false, recorder), i);
    }
    EXPECT_EQ(InotifyInstances(), before + 1);
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
    EXPECT_TRUE(EventsBefore(*recorder, scratch.Path() / "300" / "f").empty());
}

// The consumer stalls the listener while more changes come than the kernel
// queues (16384 by default).
TEST(Inotify, AQueueOverflowIsAnEmptyBatchAndNoSilentLoss) {
    const zymtest::ScratchDirectory scratch;
    const fs::path& dir = scratch.Path();
    const std::string root = dir.string();
    Signal release;
    ZymWindows::WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    recorder->onBatch = [&](std::vector<DeviceEvent>&) { release.Wait(); };
    const long id = observer.AttachObserver(Wide(root), false, recorder);
    constexpr int FILES = 20000;
    for (int i = 0; i < FILES; ++i)
        Touch(dir / std::to_string(i));
    release.Set();
    ASSERT_TRUE(recorder->WaitUntil([](const Seen& seen) { return seen.emptyBatches > 0; }));
    // What came is the first files made, in order; the empty batch stands
    // for the rest.
    const auto events = recorder->Events();
    std::vector<std::string> made;
    for (std::size_t i = 0; i < events.size(); ++i)
        made.push_back("created " + std::to_string(i));
    EXPECT_EQ(Describe(events), Expected(root, id, made));
    EXPECT_LT(events.size(), std::size_t(FILES));
    EventsBefore(*recorder, dir / "later"); // watching goes on
}

// Windows keeps a watched directory from being deleted (the observer's
// handle does not share deletion); on Linux it goes, and its source with it.
// The parent's source sees the directory come back, and the file in it,
// after which the lost source has had its chance to report.
TEST(Deletion, ADeletedDirectoryReportsOneErrorThenFallsSilent) {
    const zymtest::ScratchDirectory scratch;
    const fs::path& dir = scratch.Path();
    ZymWindows::WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const std::string watched = (dir / "watched").string();
    fs::create_directory(watched);
    const long id = observer.AttachObserver(Wide(watched), false, recorder);
    Touch(dir / "watched" / "f");
    fs::remove_all(watched);
    ASSERT_TRUE(recorder->WaitUntil([](const Seen& seen) { return !seen.errors.empty(); }));
    Zym::SmartPtr<RecordingObserver> parent = new RecordingObserver;
    observer.AttachObserver(Wide(dir.string()), false, parent);
    fs::create_directory(watched);
    Touch(dir / "watched" / "g");
    EventsBefore(*parent, dir / "marker");
    const Seen seen = recorder->Snapshot();
    EXPECT_EQ(seen.errors, std::vector{Wide(watched + "|" + std::to_string(id) +
                                            "|The system cannot find the file specified.")});
    EXPECT_EQ(Describe(seen.events), Expected(watched, id, {"created f", "deleted f"}));
}
