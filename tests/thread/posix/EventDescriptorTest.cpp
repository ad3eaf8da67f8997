#include <Zym/Exception.h>
#include <Zym/LastError.h>
#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

// Events as descriptors that poll() waits on together with any other.

using namespace ZymThread;

namespace {

bool Readable(const EventSemaphore& event) {
    pollfd fd{event.Handle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    void CloseWriteEnd() {
        ::close(fds[1]);
        fds[1] = -1;
    }
    int fds[2];
};

} // namespace

TEST(Event, DescriptorIsReadableExactlyWhileSignalled) {
    EventSemaphore manual(true, true);
    EXPECT_TRUE(Readable(manual));
    EXPECT_EQ(manual.Wait(0), WAIT_OBJECT_0);
    EXPECT_TRUE(Readable(manual)) << "a manual-reset event stays set";
    ASSERT_TRUE(manual.Reset());
    EXPECT_FALSE(Readable(manual));

    EventSemaphore automatic(false, false);
    EXPECT_FALSE(Readable(automatic));
    ASSERT_TRUE(automatic.Set());
    ASSERT_TRUE(automatic.Set());
    EXPECT_TRUE(Readable(automatic));
    EXPECT_EQ(automatic.Wait(0), WAIT_OBJECT_0);
    EXPECT_FALSE(Readable(automatic)) << "two Sets must not leave two signals";
}

TEST(Event, DescriptorWaitWakesForDataForTheEventAndForHangUp) {
    Pipe pipe;
    EventSemaphore shutdown(true, false);
    EventSemaphore* events[] = {&shutdown};
    EXPECT_EQ(WaitForDescriptor(pipe.fds[0], POLLIN, events, 1, 0), WAIT_TIMEOUT);

    std::thread writer([&] { EXPECT_EQ(::write(pipe.fds[1], "x", 1), 1); });
    EXPECT_EQ(WaitForDescriptor(pipe.fds[0], POLLIN, events, 1), WAIT_OBJECT_0 + 1);
    writer.join();
    char byte = 0;
    ASSERT_EQ(::read(pipe.fds[0], &byte, 1), 1);

    std::thread setter([&] { EXPECT_TRUE(shutdown.Set()); });
    EXPECT_EQ(WaitForDescriptor(pipe.fds[0], POLLIN, events, 1), WAIT_OBJECT_0);
    setter.join();

    // Both ready: the event wins, as the lowest index does in WaitForAny.
    ASSERT_EQ(::write(pipe.fds[1], "y", 1), 1);
    EXPECT_EQ(WaitForDescriptor(pipe.fds[0], POLLIN, events, 1), WAIT_OBJECT_0);
    ASSERT_TRUE(shutdown.Reset());
    EXPECT_EQ(WaitForDescriptor(pipe.fds[0], POLLIN, events, 1), WAIT_OBJECT_0 + 1);
    ASSERT_EQ(::read(pipe.fds[0], &byte, 1), 1);

    // A peer that went away makes the descriptor ready, so the next read
    // can report it.
    pipe.CloseWriteEnd();
    EXPECT_EQ(WaitForDescriptor(pipe.fds[0], POLLIN, nullptr, 0), WAIT_OBJECT_0);
    EXPECT_EQ(::read(pipe.fds[0], &byte, 1), 0);
}

TEST(Event, DescriptorWaitOnABadDescriptorFails) {
    Pipe pipe;
    const int closed = pipe.fds[1];
    pipe.CloseWriteEnd();
    EXPECT_EQ(WaitForDescriptor(closed, POLLOUT, nullptr, 0, 0), WAIT_FAILED);
    EXPECT_EQ(Zym::GetLastError(), 6u);
    EXPECT_EQ(WaitForDescriptor(-1, POLLIN, nullptr, 0, 0), WAIT_FAILED);
    EXPECT_EQ(Zym::GetLastError(), 6u);
}

// Exits with 3 when creating an event without a free descriptor raises
// the system text of the failure.
void CreateEventWithoutDescriptors() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit none{0, limit.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &none);
    std::u16string text;
    try {
        EventSemaphore event(false, false);
    } catch (const Zym::Exception& error) {
        // Checked with descriptors back, which the sanitizers may need.
        ::setrlimit(RLIMIT_NOFILE, &limit);
        text = error.What();
    }
    std::exit(text == u"The system cannot open the file." ? 3 : 4);
}

TEST(EventDeathTest, CreationFailureRaisesWithTheSystemText) {
    EXPECT_EXIT(CreateEventWithoutDescriptors(), ::testing::ExitedWithCode(3), "");
}
