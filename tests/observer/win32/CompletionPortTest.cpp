// The Win32 completion port: one port and one listener for every source,
// one directory handle and one event per source.
#include "../ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace observertest;
namespace fs = std::filesystem;

TEST(CompletionPort, ManyDirectoriesShareOnePortAndOneListener) {
    constexpr int DIRECTORIES = 100;
    const zymtest::ScratchDirectory scratch;
    Zym::SmartPtr<RecordingObserver> recorder = new RecordingObserver;
    const int before = OpenHandles();
    int idle = 0, watching = 0;
    {
        ZymWindows::WinNTDirectoryObserver observer;
        idle = OpenHandles();
        for (int i = 1; i <= DIRECTORIES; ++i) {
            const fs::path dir = scratch.Path() / std::to_string(i);
            fs::create_directory(dir);
            ASSERT_EQ(observer.AttachObserver(Wide(dir.string()), false, recorder), i);
        }
        watching = OpenHandles();
        EXPECT_EQ(ThreadsNamed("EventListener"), 1);
        EXPECT_EQ(Describe(EventsBefore(*recorder, scratch.Path() / "100" / "f")), "");
    }
    const int after = OpenHandles();
    if (before == 0)
        GTEST_SKIP() << "Wine's GetProcessHandleCount answers 0";
    // Per source its directory and its operation event; once, the port and
    // the listener thread.
    EXPECT_EQ(watching, idle + 2 * DIRECTORIES + 2);
    EXPECT_EQ(after, before);
}

// The consumer stalls the listener while more changes come than the read's
// 4096 bytes hold: the system completes the next read with no records.
using CompletionPortBuffer = Observed;
TEST_F(CompletionPortBuffer, ChangesBeyondTheBufferAreAnEmptyBatch) {
    Signal busy, release;
    m_Recorder->onBatch = [&](std::vector<DeviceEvent>&) {
        if (!busy.IsSet()) {
            busy.Set();
            release.Wait();
        }
    };
    const long id = m_Observer.AttachObserver(Wide(m_Root), false, m_Recorder);
    Touch(m_Dir / "first");
    ASSERT_TRUE(busy.Wait());
    // 300 records of 24 bytes or more.
    for (int i = 0; i < 300; ++i)
        Touch(m_Dir / ("file" + std::to_string(i)));
    release.Set();
    ASSERT_TRUE(m_Recorder->WaitUntil([](const Seen& seen) { return seen.emptyBatches > 0; }));
    const auto events = EventsBefore(*m_Recorder, m_Dir / "later"); // watching goes on
    EXPECT_EQ(Describe(events), Expected(m_Root, id, {"created first"}));
}
