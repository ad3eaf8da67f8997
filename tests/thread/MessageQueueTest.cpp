#include <Zym/LastError.h>
#include <ZymThread/DescriptorWait.h>
#include <ZymThread/MessageQueue.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ZymThread;

namespace {

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN);
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

TEST(MessageQueue, ThreadIdsAreTheKernelsAndQueuesBelongToTheirThread) {
    const unsigned long self = GetCurrentThreadId();
    EXPECT_EQ(self, static_cast<unsigned long>(::gettid()));
    EXPECT_TRUE(std::filesystem::exists("/proc/self/task/" + std::to_string(self)));

    // A live thread that never read a queue has none to post to.
    EventSemaphore started(true, false), release(true, false);
    std::atomic<unsigned long> quietId{0};
    std::thread quiet([&] {
        quietId = GetCurrentThreadId();
        started.Set();
        release.Wait();
    });
    started.Wait();
    EXPECT_NE(quietId.load(), self);
    Zym::SetLastError(0);
    EXPECT_FALSE(PostThreadMessage(quietId, WM_USER, 1, 2));
    EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_INVALID_THREAD_ID);
    release.Set();
    quiet.join();

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
    EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_INVALID_THREAD_ID);
}

TEST(MessageQueue, FiltersPeekingAndQuit) {
    ASSERT_GE(MessageQueueHandle(), 0);
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

TEST(MessageQueue, DescriptorIsReadableExactlyWhileMessagesWait) {
    const int fd = MessageQueueHandle();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(MessageQueueHandle(), fd) << "one queue per thread";
    EXPECT_FALSE(Readable(fd));
    EventSemaphore event(false, false);
    EventSemaphore* events[] = {&event};
    EXPECT_EQ(MsgWaitForMultipleObjects(1, events, 0), WAIT_TIMEOUT);

    const unsigned long self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessage(self, WM_USER, 0, 0));
    ASSERT_TRUE(PostThreadMessage(self, WM_USER + 1, 0, 0));
    EXPECT_TRUE(Readable(fd));
    event.Set();
    EXPECT_EQ(MsgWaitForMultipleObjects(1, events, 0), WAIT_OBJECT_0) << "events come first";
    EXPECT_EQ(MsgWaitForMultipleObjects(1, events, 0), WAIT_OBJECT_0 + 1);

    MSG msg;
    // A reader whose filter matches nothing leaves the queue readable.
    EXPECT_FALSE(PeekMessage(&msg, WM_USER + 9, WM_USER + 9, PM_REMOVE));
    EXPECT_TRUE(Readable(fd));
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, PM_REMOVE));
    EXPECT_TRUE(Readable(fd));
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, PM_REMOVE));
    EXPECT_FALSE(Readable(fd));

    // A post from another thread wakes a poll on the descriptor.
    std::thread poster([self] { PostThreadMessage(self, WM_USER + 3, 3, 0); });
    pollfd entry{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, -1), 1);
    poster.join();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr), WAIT_OBJECT_0);
    ASSERT_EQ(GetMessage(&msg), 1);
    EXPECT_EQ(msg.message, WM_USER + 3u);
}

TEST(MessageQueue, OneWaitForTheQueueOtherDescriptorsAndEvents) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    EventSemaphore stop(true, false);
    EventSemaphore* events[] = {&stop};
    const DescriptorWait descriptors[] = {{pipe[0], POLLIN}, {MessageQueueHandle(), POLLIN}};
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1, 0), WAIT_TIMEOUT);

    const unsigned long self = GetCurrentThreadId();
    std::thread poster([self] { PostThreadMessage(self, WM_USER, 0, 0); });
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1), WAIT_OBJECT_0 + 2);
    poster.join();
    ASSERT_EQ(::write(pipe[1], "x", 1), 1);
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1), WAIT_OBJECT_0 + 1)
        << "earlier descriptors first";
    stop.Set();
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1), WAIT_OBJECT_0);
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, 0, 0, PM_REMOVE));
    ::close(pipe[0]);
    ::close(pipe[1]);
    const DescriptorWait closed[] = {{pipe[0], POLLIN}};
    EXPECT_EQ(WaitForDescriptors(closed, 1, nullptr, 0, 0), WAIT_FAILED);
    EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForDescriptors(nullptr, 0, nullptr, 0, 0), WAIT_FAILED);
}

TEST(MessageQueue, AFullQueueRefusesPostsUntilItIsRead) {
    ASSERT_GE(MessageQueueHandle(), 0);
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
