// A tmpfs mounted, watched, unmounted and mounted again. CI runs as root;
// the tests skip only where the system refuses the mount to an account
// that is not root, and fail where root cannot mount.
#include "ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

using namespace observertest;
namespace fs = std::filesystem;
using ZymWindows::WinNTDirectoryObserver;

namespace {

// Mounts a small tmpfs at `where`; an empty text on success, else why not.
std::string MountTmpfs(const fs::path& where) {
    if (mount("zym-observer-test", where.c_str(), "tmpfs", 0, "size=1m") == 0)
        return {};
    return std::strerror(errno);
}

bool MountRefused() {
    return (errno == EPERM || errno == EACCES) && geteuid() != 0;
}

class MountTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Point = m_Scratch.Path() / "mnt";
        fs::create_directory(m_Point);
        const std::string failure = MountTmpfs(m_Point);
        if (!failure.empty()) {
            if (MountRefused())
                GTEST_SKIP() << "this account may not mount (" << failure << ")";
            FAIL() << "cannot mount a tmpfs as root: " << failure;
        }
        m_Mounted = true;
    }
    void TearDown() override {
        if (m_Mounted)
            umount2(m_Point.c_str(), MNT_DETACH);
    }
    void Unmount() {
        ASSERT_EQ(umount2(m_Point.c_str(), 0), 0) << std::strerror(errno);
        m_Mounted = false;
    }
    void Remount() {
        const std::string failure = MountTmpfs(m_Point);
        ASSERT_TRUE(failure.empty()) << failure;
        m_Mounted = true;
    }

    zymtest::ScopedEnvironment m_RestartWait{"ZYM_OBSERVER_RESTART_MS", "20"};
    zymtest::ScratchDirectory m_Scratch;
    fs::path m_Point;
    bool m_Mounted = false;
};

} // namespace

TEST_F(MountTest, AnUnmountedFileSystemIsWatchedAgainOnceMountedAgain) {
    const std::string point = m_Point;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(point), true, recorder);
    Touch(m_Point / "before");
    ASSERT_TRUE(recorder->WaitForEvents(1));

    Unmount();
    // The bare mount point below is not the watched file system: reopening
    // it would watch the wrong directory.
    std::this_thread::sleep_for(QUIET_TIME);
    Touch(m_Point / "on-the-mount-point");
    std::this_thread::sleep_for(QUIET_TIME);
    Remount();
    // The restart thread reopens within a few of its 20 ms waits.
    for (int i = 0; i < 200 && recorder->Events().size() < 2; ++i) {
        Touch(m_Point / ("after" + std::to_string(i)));
        std::this_thread::sleep_for(10ms);
    }
    const auto events = recorder->Events();
    ASSERT_GE(events.size(), 2u) << Describe(events);
    EXPECT_EQ(events[0], Event(DeviceEvent::CREATED, point, "before", id));
    for (std::size_t i = 1; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, DeviceEvent::CREATED);
        EXPECT_EQ(events[i].path.rfind(EventPath(point, "after"), 0), 0u) << Describe(events);
    }
    EXPECT_TRUE(recorder->Errors().empty());

    // Once more, to see that the restart thread serves later losses too.
    Unmount();
    Remount();
    const std::size_t seen = recorder->Events().size();
    for (int i = 0; i < 200 && recorder->Events().size() == seen; ++i) {
        Touch(m_Point / ("again" + std::to_string(i)));
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_GT(recorder->Events().size(), seen);
    observer.DetachObserver(id);
}

TEST_F(MountTest, ADirectoryInsideTheFileSystemIsWatchedAgainOnceItIsThereAgain) {
    const fs::path sub = m_Point / "sub";
    fs::create_directory(sub);
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(sub), false, recorder);
    Unmount();
    Remount();
    std::this_thread::sleep_for(QUIET_TIME); // the new file system has no sub yet
    fs::create_directory(sub);
    for (int i = 0; i < 200 && recorder->Events().empty(); ++i) {
        Touch(sub / ("after" + std::to_string(i)));
        std::this_thread::sleep_for(10ms);
    }
    const auto events = recorder->Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].sourceId, id);
    EXPECT_EQ(events[0].path.rfind(EventPath(sub, "after"), 0), 0u) << Describe(events);
    EXPECT_TRUE(recorder->Errors().empty());
}

TEST_F(MountTest, AFileSystemAwayTooLongIsGivenUpSilently) {
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(m_Point), false, recorder);
    Unmount();
    // 42 failed attempts 20 ms apart, and some room.
    std::this_thread::sleep_for(2s);
    Remount();
    Touch(m_Point / "unseen");
    std::this_thread::sleep_for(QUIET_TIME);
    EXPECT_TRUE(recorder->Events().empty()) << Describe(recorder->Events());
    EXPECT_TRUE(recorder->Errors().empty());
    observer.DetachObserver(id);
}

TEST_F(MountTest, DetachingALostDirectoryAndDestroyingTheObserverEndCleanly) {
    auto observer = std::make_unique<WinNTDirectoryObserver>();
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer->AttachObserver(Wide(m_Point), false, recorder);
    observer->AttachObserver(Wide(m_Point), false, recorder);
    Unmount();
    std::this_thread::sleep_for(100ms);
    observer->DetachObserver(id);
    observer.reset();
}
