#include "Gate.h"
#include "Wine.h"

#include <Zym/LastError.h>
#include <ZymThread/MessageQueue.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace ZymThread;

namespace {

// Gives the calling thread its queue, as reading one does, and empties it
// of what an earlier test of this thread left.
void MakeQueue() {
    MSG msg;
    while (PeekMessage(&msg, 0, 0, PM_REMOVE)) {
    }
}

// A thread that makes its queue, says which id it has, and reads messages
// until WM_QUIT, keeping them in order.
class Reader {
public:
    Reader()
        : m_Thread([this] {
              MSG msg;
              PeekMessage(&msg, 0, 0, PM_NOREMOVE);
              m_Id = GetCurrentThreadId();
              m_Ready.Set();
              int result;
              while ((result = GetMessage(&msg)) > 0)
                  m_Received.push_back(msg);
              m_QuitResult = result;
              m_QuitCode = msg.wParam;
          }) {
        m_Ready.Wait();
    }
    ~Reader() {
        if (m_Thread.joinable()) {
            PostThreadMessage(m_Id, WM_QUIT, 0, 0);
            m_Thread.join();
        }
    }
    unsigned long Id() const { return m_Id; }
    // Ends the thread with WM_QUIT carrying `code`; what it received.
    const std::vector<MSG>& Quit(std::uintptr_t code) {
        EXPECT_TRUE(PostThreadMessage(m_Id, WM_QUIT, code, 0));
        m_Thread.join();
        EXPECT_EQ(m_QuitResult, 0);
        EXPECT_EQ(m_QuitCode, code);
        return m_Received;
    }

private:
    EventSemaphore m_Ready{true, false};
    unsigned long m_Id = 0;
    std::vector<MSG> m_Received;
    int m_QuitResult = -2;
    std::uintptr_t m_QuitCode = 0;
    std::thread m_Thread;
};

} // namespace

TEST(MessageQueue, QueuesBelongToTheirThread) {
    const unsigned long self = GetCurrentThreadId();

    // A live thread that never read a queue has none to post to.
    threadtest::Gate quiet;
    const auto thread = threadtest::GateThread("quiet", quiet);
    thread->Run();
    quiet.started.Wait();
    EXPECT_NE(quiet.threadId, self);
    Zym::SetLastError(0);
    EXPECT_FALSE(PostThreadMessage(quiet.threadId, WM_USER, 1, 2));
    EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_INVALID_THREAD_ID);
    quiet.release.Set();
    thread->Join();

    // A thread that had a queue loses it when it ends.
    unsigned long endedId = 0;
    {
        Reader reader;
        endedId = reader.Id();
        EXPECT_TRUE(PostThreadMessage(endedId, WM_USER, 0, 0));
        EXPECT_EQ(reader.Quit(0).size(), 1u);
    }
    Zym::SetLastError(0);
    EXPECT_FALSE(PostThreadMessage(endedId, WM_USER, 0, 0));
    ZYMTEST_SKIP_UNDER_WINE("a post to a thread that has ended fails with 87, not 1444");
    EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_INVALID_THREAD_ID);
}

TEST(MessageQueue, FiltersPeekingAndQuit) {
    MakeQueue();
    const unsigned long self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessage(self, WM_USER + 5, 50, -50));
    ASSERT_TRUE(PostThreadMessage(self, WM_USER + 1, 10, -10));
    ASSERT_TRUE(PostThreadMessage(self, WM_QUIT, 7, 0));
    ASSERT_TRUE(PostThreadMessage(self, WM_USER + 2, 20, -20));

    MSG msg;
    // Looking leaves the message where it is.
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5u);
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5u);

    // A filter skips what lies outside it, but never WM_QUIT.
    ASSERT_TRUE(PeekMessage(&msg, WM_USER + 1, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1u);
    EXPECT_EQ(msg.wParam, 10u);
    EXPECT_EQ(msg.lParam, -10);
    ZYMTEST_SKIP_UNDER_WINE(
        "a filter holds back a posted WM_QUIT, which Windows always lets through");
    EXPECT_EQ(GetMessage(&msg, WM_USER + 2, WM_USER + 2), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(DispatchMessage(&msg), 0);

    EXPECT_EQ(GetMessage(&msg), 1);
    EXPECT_EQ(msg.message, WM_USER + 5u);
    const unsigned long firstTime = msg.time;
    EXPECT_EQ(GetMessage(&msg), 1);
    EXPECT_EQ(msg.message, WM_USER + 2u);
    EXPECT_GE(msg.time, firstTime);
    EXPECT_FALSE(PeekMessage(&msg, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, MsgWaitPutsEventsBeforeTheQueueAndWakesForAPost) {
    MakeQueue();
    EventSemaphore event(false, false);
    EventSemaphore* events[] = {&event};
    EXPECT_EQ(MsgWaitForMultipleObjects(1, events, 0), WAIT_TIMEOUT);
    const unsigned long self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessage(self, WM_USER, 0, 0));
    event.Set();
    EXPECT_EQ(MsgWaitForMultipleObjects(1, events, 0), WAIT_OBJECT_0) << "events come first";
    EXPECT_EQ(MsgWaitForMultipleObjects(1, events, 0), WAIT_OBJECT_0 + 1);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, PM_REMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, 0), WAIT_TIMEOUT);

    // A post from another thread wakes the wait.
    std::thread poster([self] { PostThreadMessage(self, WM_USER + 3, 3, 0); });
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr), WAIT_OBJECT_0);
    poster.join();
    ASSERT_EQ(GetMessage(&msg), 1);
    EXPECT_EQ(msg.message, WM_USER + 3u);
}

TEST(MessageQueue, AFullQueueRefusesPostsUntilItIsRead) {
    ZYMTEST_SKIP_UNDER_WINE("no limit on the messages a queue holds (Windows: 10000)");
    MakeQueue();
    const unsigned long self = GetCurrentThreadId();
    for (std::size_t i = 0; i < MAX_POSTED_MESSAGES; ++i)
        ASSERT_TRUE(PostThreadMessage(self, WM_USER, i, 0)) << i;
    Zym::SetLastError(0);
    EXPECT_FALSE(PostThreadMessage(self, WM_USER, 0, 0));
    EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_NOT_ENOUGH_QUOTA);
    MSG msg;
    ASSERT_EQ(GetMessage(&msg), 1);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_TRUE(PostThreadMessage(self, WM_QUIT, 0, 0));
    std::size_t read = 1;
    while (GetMessage(&msg) > 0) {
        EXPECT_EQ(msg.wParam, read);
        ++read;
    }
    EXPECT_EQ(read, MAX_POSTED_MESSAGES);
}

TEST(MessageQueue, ManyPostersOneReaderLoseNothing) {
    constexpr int POSTERS = 4;
    constexpr std::uintptr_t EACH = 2000;
    Reader reader;
    std::vector<std::thread> posters;
    for (int p = 0; p < POSTERS; ++p) {
        posters.emplace_back([&reader, p] {
            for (std::uintptr_t n = 0; n < EACH; ++n) {
                // A full queue is the only reason to retry.
                while (
                    !PostThreadMessage(reader.Id(), WM_USER + static_cast<unsigned int>(p), n, 0))
                    ASSERT_EQ(Zym::GetLastError(), Zym::ERROR_NOT_ENOUGH_QUOTA);
            }
        });
    }
    for (auto& poster : posters)
        poster.join();
    const auto& received = reader.Quit(99);
    ASSERT_EQ(received.size(), POSTERS * EACH);
    // Each poster's messages arrive in the order it posted them.
    std::uintptr_t next[POSTERS] = {};
    for (const MSG& msg : received) {
        const unsigned int p = msg.message - WM_USER;
        ASSERT_LT(p, static_cast<unsigned int>(POSTERS));
        EXPECT_EQ(msg.wParam, next[p]++);
    }
}
