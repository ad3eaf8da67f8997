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

using Inotify = Observed;
using Deletion = Observed;

} // namespace

// More directories than the system gives inotify instances to an account
// (128 by default): the watches of an observer share one instance and one
// listener.
TEST_F(Inotify, ManyDirectoriesShareOneInstanceAndOneListener) {
    const int before = InotifyInstances();
    for (int i = 1; i <= 300; ++i) {
        const fs::path dir = m_Dir / std::to_string(i);
        fs::create_directory(dir);
        ASSERT_EQ(m_Observer.AttachObserver(Wide(dir.string()), false, m_Recorder), i);
    }
    EXPECT_EQ(InotifyInstances(), before + 1);
    EXPECT_EQ(ThreadsNamed("EventListener"), 1);
    EXPECT_TRUE(EventsBefore(*m_Recorder, m_Dir / "300" / "f").empty());
}

// The consumer stalls the listener while more changes come than the kernel
// queues (16384 by default).
TEST_F(Inotify, AQueueOverflowIsAnEmptyBatchAndNoSilentLoss) {
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

// Windows keeps a watched directory from being deleted (the observer's
// handle does not share deletion); on Linux it goes, and its source with it.
// The parent's source sees the directory come back, and the file in it,
// after which the lost source has had its chance to report.
TEST_F(Deletion, ADeletedDirectoryReportsOneErrorThenFallsSilent) {
    const std::string watched = (m_Dir / "watched").string();
    fs::create_directory(watched);
    const long id = m_Observer.AttachObserver(Wide(watched), false, m_Recorder);
    Touch(m_Dir / "watched" / "f");
    fs::remove_all(watched);
    ASSERT_TRUE(m_Recorder->WaitUntil([](const Seen& seen) { return !seen.errors.empty(); }));
    Zym::SmartPtr<RecordingObserver> parent = new RecordingObserver;
    m_Observer.AttachObserver(Wide(m_Root), false, parent);
    fs::create_directory(watched);
    Touch(m_Dir / "watched" / "g");
    EventsBefore(*parent, m_Dir / "marker");
    const Seen seen = m_Recorder->Snapshot();
    EXPECT_EQ(seen.errors, std::vector{Wide(watched + "|" + std::to_string(id) +
                                            "|The system cannot find the file specified.")});
    EXPECT_EQ(Describe(seen.events), Expected(watched, id, {"created f", "deleted f"}));
}
