#include <Zym/LastError.h>
#include <ZymThread/DescriptorWait.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/MessageQueue.h>

#include <gtest/gtest.h>

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
    EXPECT_EQ(GetCurrentThreadId(), static_cast<unsigned long>(::gettid()));
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
}

// Events come before descriptors, earlier descriptors before later ones.
TEST(MessageQueue, OneWaitForTheQueueOtherDescriptorsAndEvents) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    EventSemaphore stop(true, false);
    EventSemaphore* events[] = {&stop};
    const DescriptorWait descriptors[] = {{pipe[0], POLLIN}, {MessageQueueHandle(), POLLIN}};
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1, 0), WAIT_TIMEOUT);

    std::thread setter([&] { EXPECT_TRUE(stop.Set()); });
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1), WAIT_OBJECT_0);
    setter.join();
    ASSERT_TRUE(stop.Reset());
    const unsigned long self = GetCurrentThreadId();
    std::thread poster([self] { PostThreadMessage(self, WM_USER, 0, 0); });
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1), WAIT_OBJECT_0 + 2);
    poster.join();
    ASSERT_EQ(::write(pipe[1], "x", 1), 1);
    EXPECT_EQ(WaitForDescriptors(descriptors, 2, events, 1), WAIT_OBJECT_0 + 1);
    stop.Set();
    EXPECT_EQ(WaitForDescriptor(pipe[0], POLLIN, events, 1), WAIT_OBJECT_0);
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, 0, 0, PM_REMOVE));
    char byte = 0;
    ASSERT_EQ(::read(pipe[0], &byte, 1), 1);

    // A peer that went away makes the descriptor ready, so the next read
    // can report it.
    ::close(pipe[1]);
    EXPECT_EQ(WaitForDescriptor(pipe[0], POLLIN, nullptr, 0), WAIT_OBJECT_0);
    EXPECT_EQ(::read(pipe[0], &byte, 1), 0);
    ::close(pipe[0]);
    for (const int bad : {pipe[0], -1}) {
        EXPECT_EQ(WaitForDescriptor(bad, POLLIN, nullptr, 0, 0), WAIT_FAILED);
        EXPECT_EQ(Zym::GetLastError(), Zym::ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(WaitForDescriptors(nullptr, 0, nullptr, 0, 0), WAIT_FAILED);
}
