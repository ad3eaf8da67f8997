// A tmpfs mounted, watched, unmounted and mounted again. CI runs as root;
// the tests skip only where the system refuses the mount to an account
// that is not root, and fail where root cannot mount.
#include "../ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/mount.h>
#include <unistd.h>

using namespace observertest;
namespace fs = std::filesystem;
using ZymWindows::WinNTDirectoryObserver;
using ZymWindows::WinNTObserverSource;
using Point = ZymWindows::ObserverProbe::Point;

namespace {

class MountTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_Point);
        if (mount("zym-observer-test", m_Point.c_str(), "tmpfs", 0, "size=1m") != 0) {
            if ((errno == EPERM || errno == EACCES) && geteuid() != 0)
                GTEST_SKIP() << "this account may not mount: " << std::strerror(errno);
            FAIL() << "cannot mount a tmpfs as root: " << std::strerror(errno);
        }
    }
    void TearDown() override { umount2(m_Point.c_str(), MNT_DETACH); }
    void Remount() { ASSERT_EQ(mount("again", m_Point.c_str(), "tmpfs", 0, "size=1m"), 0); }
    void Unmount() { ASSERT_EQ(umount2(m_Point.c_str(), 0), 0) << std::strerror(errno); }

    // Counts the restart thread's attempts to reopen `id` and keeps the
    // state the listener last stored for it. At attempt `holdAt` the
    // restart thread waits, before it tries, until m_Resumed.
    void Follow(long id, int holdAt = 0) {
        m_Probe.emplace([this, id, holdAt](Point point, long source, int state) {
            const bool listener = ThreadName() == "EventListener";
            if (source != id || point != (listener ? Point::STATE_STORED : Point::STATE_SEEN) ||
                (!listener && state != WinNTObserverSource::DISCONNECTED))
                return;
            std::unique_lock guard(m_Lock);
            if (listener)
                m_Stored = state;
            else if (++m_Attempts == holdAt) {
                guard.unlock();
                m_Held.Set();
                m_Resumed.Wait();
                guard.lock();
            }
            m_Changed.notify_all();
        });
    }
    // Waits until `done` holds, under the lock of m_Attempts and m_Stored.
    bool WaitFor(const std::function<bool()>& done) {
        std::unique_lock guard(m_Lock);
        return m_Changed.wait_for(guard, EVENT_TIMEOUT, done);
    }

    zymtest::ScopedEnvironment m_RestartWait{"ZYM_OBSERVER_RESTART_MS", "20"};
    zymtest::ScratchDirectory m_Scratch;
    const fs::path m_Point = m_Scratch.Path() / "mnt";
    const std::string m_Root = m_Point;
    Zym::SmartPtr<RecordingObserver> m_Recorder = new RecordingObserver;
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    int m_Attempts = 0;
    int m_Stored = -1;
    Signal m_Held, m_Resumed;
    std::optional<ProbeScope> m_Probe;
};

} // namespace

// The reopen is tried at once, then every wait; the 42nd failed attempt in
// a row gives up. A file system back just before that attempt is watched
// again, and the count starts afresh for the next loss. The bare mount
// point is not the watched file system: no attempt may reopen it.
TEST_F(MountTest, ALostFileSystemIsReopenedUpToTheLastAttemptThenGivenUp) {
    WinNTDirectoryObserver observer;
    const long id = observer.AttachObserver(Wide(m_Root), true, m_Recorder);
    Follow(id, 42);
    Touch(m_Point / "before");
    ASSERT_TRUE(m_Recorder->WaitForEvents(1));
    Unmount();
    ASSERT_TRUE(m_Held.Wait());
    Remount();
    m_Resumed.Set();
    ASSERT_TRUE(WaitFor([&] { return m_Stored == WinNTObserverSource::RUNNING; }));
    Touch(m_Point / "after");
    ASSERT_TRUE(m_Recorder->WaitForEvents(2));
    EXPECT_EQ(Describe(m_Recorder->Events()),
              Expected(m_Root, id, {"created before", "created after"}));

    Unmount();
    ASSERT_TRUE(WaitFor([&] { return m_Stored == WinNTObserverSource::STOPPED; }));
    EXPECT_TRUE(WaitFor([&] { return m_Attempts == 42 + 42; }));
    EXPECT_TRUE(m_Recorder->Snapshot().errors.empty());
}

TEST_F(MountTest, ADirectoryInsideTheFileSystemIsWatchedAgainOnceItIsThereAgain) {
    const fs::path sub = m_Point / "sub";
    fs::create_directory(sub);
    WinNTDirectoryObserver observer;
    const long id = observer.AttachObserver(Wide(sub), false, m_Recorder);
    Follow(id);
    Unmount();
    Remount();
    fs::create_directory(sub);
    ASSERT_TRUE(WaitFor([&] { return m_Stored == WinNTObserverSource::RUNNING; }));
    Touch(sub / "after");
    ASSERT_TRUE(m_Recorder->WaitForEvents(1));
    EXPECT_EQ(Describe(m_Recorder->Events()), Expected(sub, id, {"created after"}));
}

// The listener takes the loss of a source that a detach is stopping: the
// detach must still get its answer, and the observer must still end with a
// lost source attached.
TEST_F(MountTest, ADetachReturnsWhenTheFileSystemGoesAwayInTheMiddleOfIt) {
    auto observer = std::make_unique<WinNTDirectoryObserver>();
    const long id = observer->AttachObserver(Wide(m_Root), false, m_Recorder);
    observer->AttachObserver(Wide(m_Root), false, m_Recorder); // left for the destructor
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
