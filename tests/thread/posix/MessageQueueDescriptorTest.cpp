#include <Zym/LastError.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/MessageQueue.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>
#include <thread>
#include <unistd.h>

// A thread's queue as a descriptor that poll() waits on together with others.

using namespace ZymThread;

namespace {

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN);
}

} // namespace

TEST(MessageQueue, ThreadIdsAreTheKernels) {
    const unsigned long self = GetCurrentThreadId();
    EXPECT_EQ(self, static_cast<unsigned long>(::gettid()));
    EXPECT_TRUE(std::filesystem::exists("/proc/self/task/" + std::to_string(self)));
}

TEST(MessageQueue, DescriptorIsReadableExactlyWhileMessagesWait) {
    const int fd = MessageQueueHandle();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(MessageQueueHandle(), fd) << "one queue per thread";
    EXPECT_FALSE(Readable(fd));

    const unsigned long self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessage(self, WM_USER, 0, 0));
    ASSERT_TRUE(PostThreadMessage(self, WM_USER + 1, 0, 0));
    EXPECT_TRUE(Readable(fd));
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
