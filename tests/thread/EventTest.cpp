#include <Zym/LastError.h>
#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace ZymThread;

namespace {

// A count that a thread can wait to see reach a value: a mutex and a
// condition variable, since a run under Wine once hung in the wait of
// std::atomic, which mingw-w64's libstdc++ builds without a futex.
class Count {
public:
    void Increment() {
        {
            const std::lock_guard lock(m_Lock);
            ++m_Value;
        }
        m_Changed.notify_all();
    }
    void WaitUntil(int value) {
        std::unique_lock lock(m_Lock);
        m_Changed.wait(lock, [&] { return m_Value >= value; });
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    int m_Value = 0;
};

} // namespace

TEST(Event, ManualStaysSetAutoClearsAndSignalsDoNotAccumulate) {
    EventSemaphore manual(true, true);
    EXPECT_EQ(manual.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(manual.Wait(0), WAIT_OBJECT_0) << "a manual-reset event stays set";
    ASSERT_TRUE(manual.Reset());
    EXPECT_EQ(manual.Wait(0), WAIT_TIMEOUT);

    EventSemaphore automatic(false, false);
    ASSERT_TRUE(automatic.Set());
    ASSERT_TRUE(automatic.Set());
    EXPECT_EQ(automatic.Wait(0), WAIT_OBJECT_0);
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
    Count woken;
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i)
        threads.emplace_back([&] {
            EXPECT_EQ(event.Wait(), WAIT_OBJECT_0);
            woken.Increment();
        });
    // Each Set waits for its waiter before the next one: a Set that let two
    // threads through would leave the last Set with nobody to release.
    for (int i = 1; i <= waiters; ++i) {
        ASSERT_TRUE(event.Set());
        woken.WaitUntil(i);
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(Event, ManualResetSetReleasesEveryWaiterAndPublishesWrites) {
    constexpr int waiters = 4;
    EventSemaphore event(true, false);
    int payload = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i)
        threads.emplace_back([&] {
            EXPECT_EQ(event.Wait(), WAIT_OBJECT_0);
            EXPECT_EQ(payload, 42);
        });
    payload = 42;
    ASSERT_TRUE(event.Set());
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0) << "a manual-reset event stays set";
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
