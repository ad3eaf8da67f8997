#include <Zym/Exception.h>
#include <Zym/LastError.h>
#include <ZymThread/DescriptorWait.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ZymThread;

namespace {

bool Readable(const EventSemaphore& event) {
    pollfd fd{event.Handle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

// Blocks until `count` has reached `value`.
void WaitUntil(const std::atomic<int>& count, int value) {
    for (int seen; (seen = count.load()) < value;)
        count.wait(seen);
}

void Increment(std::atomic<int>& count) {
    ++count;
    count.notify_all();
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
    EXPECT_EQ(manual.Wait(0), WAIT_OBJECT_0) << "a manual-reset event stays set";
    ASSERT_TRUE(manual.Reset());
    EXPECT_FALSE(Readable(manual));
    EXPECT_EQ(manual.Wait(0), WAIT_TIMEOUT);

    EventSemaphore automatic(false, false);
    EXPECT_FALSE(Readable(automatic));
    ASSERT_TRUE(automatic.Set());
    ASSERT_TRUE(automatic.Set());
    EXPECT_TRUE(Readable(automatic));
    EXPECT_EQ(automatic.Wait(0), WAIT_OBJECT_0);
    EXPECT_FALSE(Readable(automatic));
    EXPECT_EQ(automatic.Wait(0), WAIT_TIMEOUT) << "two Sets must not leave two signals";
}

TEST(Event, WaitTimesOutWithoutReturningEarly) {
    EventSemaphore event(false, false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.Wait(30), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(Event, AutoResetSetReleasesExactlyOneWaiter) {
    constexpr int waiters = 6;
    EventSemaphore event(false, false);
    std::atomic<int> woken{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i)
        threads.emplace_back([&] {
            EXPECT_EQ(event.Wait(), WAIT_OBJECT_0);
            Increment(woken);
        });
    // Each Set waits for its waiter before the next one: a Set that let two
    // threads through would leave the last Set with nobody to release.
    for (int i = 1; i <= waiters; ++i) {
        ASSERT_TRUE(event.Set());
        WaitUntil(woken, i);
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(woken.load(), waiters);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(Event, ManualResetSetReleasesEveryWaiterAndPublishesWrites) {
    constexpr int waiters = 4;
    EventSemaphore event(true, false);
    int payload = 0;
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i)
        threads.emplace_back([&] {
            EXPECT_EQ(event.Wait(), WAIT_OBJECT_0);
            EXPECT_EQ(payload, 42);
            Increment(done);
        });
    payload = 42;
    ASSERT_TRUE(event.Set());
    WaitUntil(done, waiters);
    for (auto& thread : threads)
        thread.join();
    EXPECT_TRUE(Readable(event));
}

TEST(Event, WaitForAnyReportsTheLowestSignalledIndex) {
    EventSemaphore first(false, false), second(true, false), third(false, false);
    EventSemaphore* events[] = {&first, &second, &third};
    EXPECT_EQ(WaitForAny(events, 3, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(third.Set());
    ASSERT_TRUE(second.Set());
    ASSERT_TRUE(first.Set());
    EXPECT_EQ(WaitForAny(events, 3, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForAny(events, 3, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForAny(events, 3, 0), WAIT_OBJECT_0 + 1) << "manual-reset is not consumed";
    ASSERT_TRUE(second.Reset());
    EXPECT_EQ(WaitForAny(events, 3, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForAny(events, 3, 0), WAIT_TIMEOUT);

    EventSemaphore* withNull[] = {&first, nullptr};
    EXPECT_EQ(WaitForAny(withNull, 2, 0), WAIT_FAILED);
    EXPECT_EQ(Zym::GetLastError(), 6u);
    EXPECT_EQ(WaitForAny(events, 0, 0), WAIT_FAILED);
    EXPECT_EQ(Zym::GetLastError(), 87u);
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
