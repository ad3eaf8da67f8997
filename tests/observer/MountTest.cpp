// A tmpfs mounted, watched, unmounted and mounted again. CI runs as root;
// the tests skip only where the system refuses the mount to an account
// that is not root, and fail where root cannot mount.
#include "ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

using namespace observertest;
namespace fs = std::filesystem;
using ZymWindows::WinNTDirectoryObserver;
using ZymWindows::WinNTObserverSource;
using Point = ZymWindows::ObserverProbe::Point;

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

    // Counts the restart thread's attempts to reopen `id` and tells when
    // the listener has it running again. At attempt `holdAt` the restart
    // thread waits, before it tries, until `Resume`.
    void Follow(long id, int holdAt = 0) {
        m_Probe.emplace([this, id, holdAt](Point point, long source, int state) {
            if (source != id)
                return;
            const bool listener = ThreadName() == "EventListener";
            if (point == Point::STATE_SEEN && state == WinNTObserverSource::DISCONNECTED &&
                !listener) {
                std::unique_lock guard(m_Lock);
                if (++m_Attempts == holdAt) {
                    m_Held.Set();
                    guard.unlock();
                    m_Resumed.Wait();
                    guard.lock();
                }
                m_Changed.notify_all();
            } else if (point == Point::STATE_STORED && listener) {
                std::lock_guard guard(m_Lock);
                m_Reached.push_back(state);
                m_Changed.notify_all();
            }
        });
    }
    void Resume() { m_Resumed.Set(); }
    bool WaitForAttempts(int count) {
        std::unique_lock guard(m_Lock);
        return m_Changed.wait_for(guard, EVENT_TIMEOUT, [&] { return m_Attempts >= count; });
    }
    int Attempts() {
        std::lock_guard guard(m_Lock);
        return m_Attempts;
    }
    // Waits until the listener has stored `state` for the `nth` time.
    bool WaitForListener(int state, int nth = 1) {
        std::unique_lock guard(m_Lock);
        return m_Changed.wait_for(guard, EVENT_TIMEOUT, [&] {
            return std::count(m_Reached.begin(), m_Reached.end(), state) >= nth;
        });
    }

    zymtest::ScopedEnvironment m_RestartWait{"ZYM_OBSERVER_RESTART_MS", "20"};
    zymtest::ScratchDirectory m_Scratch;
    fs::path m_Point;
    bool m_Mounted = false;
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    int m_Attempts = 0;
    std::vector<int> m_Reached;
    Signal m_Held, m_Resumed;
    std::optional<ProbeScope> m_Probe;
};

} // namespace

// The reopen is tried at once, then every wait; the 42nd failed attempt in
// a row gives up. A file system back just before that attempt is watched
// again, and the count starts afresh for the next loss.
TEST_F(MountTest, ALostFileSystemIsReopenedUpToTheLastAttemptThenGivenUp) {
    const std::string point = m_Point;
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(point), true, recorder);
    Follow(id, 42);
    Touch(m_Point / "before");
    ASSERT_TRUE(recorder->WaitForEvents(1));

    Unmount();
    // The bare mount point is not the watched file system: every attempt
    // until the remount fails.
    ASSERT_TRUE(m_Held.Wait()) << Attempts() << " attempts";
    Remount();
    Resume();
    ASSERT_TRUE(WaitForListener(WinNTObserverSource::RUNNING));
    Touch(m_Point / "after");
    ASSERT_TRUE(recorder->WaitForEvents(2));
    const std::vector<DeviceEvent> expected = {
        Event(DeviceEvent::CREATED, point, "before", id),
        Event(DeviceEvent::CREATED, point, "after", id),
    };
    EXPECT_EQ(recorder->Events(), expected) << Describe(recorder->Events());

    Unmount();
    ASSERT_TRUE(WaitForListener(WinNTObserverSource::STOPPED));
    EXPECT_EQ(Attempts(), 42 + 42);
    EXPECT_TRUE(recorder->Errors().empty());
    EXPECT_EQ(recorder->Events().size(), 2u);
    observer.DetachObserver(id);
}

TEST_F(MountTest, ADirectoryInsideTheFileSystemIsWatchedAgainOnceItIsThereAgain) {
    const fs::path sub = m_Point / "sub";
    fs::create_directory(sub);
    WinNTDirectoryObserver observer;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer.AttachObserver(Wide(sub), false, recorder);
    Follow(id);
    Unmount();
    Remount();
    // An attempt after the remount finds no sub yet.
    const int before = Attempts();
    ASSERT_TRUE(WaitForAttempts(before + 1));
    fs::create_directory(sub);
    ASSERT_TRUE(WaitForListener(WinNTObserverSource::RUNNING));
    Touch(sub / "after");
    ASSERT_TRUE(recorder->WaitForEvents(1));
    EXPECT_EQ(recorder->Events()[0], Event(DeviceEvent::CREATED, sub, "after", id));
    EXPECT_TRUE(recorder->Errors().empty());
}

// The listener takes the loss of a source that a detach is stopping: the
// detach must still get its answer, and the observer must still end with a
// lost source attached.
TEST_F(MountTest, ADetachReturnsWhenTheFileSystemGoesAwayInTheMiddleOfIt) {
    auto observer = std::make_unique<WinNTDirectoryObserver>();
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const long id = observer->AttachObserver(Wide(m_Point), false, recorder);
    observer->AttachObserver(Wide(m_Point), false, recorder); // left for the destructor
    Signal lossSeen, stopping;
    const ProbeScope probe([&](Point point, long source, int state) {
        if (source != id)
            return;
        if (point == Point::STATE_SEEN && ThreadName() == "EventListener" && !lossSeen.IsSet()) {
            // The listener has looked at the state for the loss: the detach
            // goes first from here.
            lossSeen.Set();
            stopping.Wait();
        } else if (point == Point::STATE_STORED && state == WinNTObserverSource::STOPPING) {
            stopping.Set();
        }
    });
    Unmount();
    ASSERT_TRUE(lossSeen.Wait());
    ExpectReturns([&] { observer->DetachObserver(id); });
    ExpectReturns([&] { observer.reset(); });
}
