#include <ZymThread/CriticalSection.h>
#include <ZymThread/ReadWriteSemaphore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace ZymThread;

namespace {

void RunTogether(int count, const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back(body, i);
    for (auto& thread : threads)
        thread.join();
}

} // namespace

TEST(ReadWriteSemaphore, WritersExcludeEveryoneReadersExcludeWriters) {
    ReadWriteSemaphore lock;
    std::atomic<int> readersInside{0}, writersInside{0};
    long first = 0, second = 0; // always equal outside the write lock
    constexpr int rounds = 2000;
    RunTogether(6, [&](int index) {
        for (int i = 0; i < rounds; ++i) {
            if ((index + i) % 3 == 0) {
                WriteLockGuard guard(lock);
                EXPECT_EQ(++writersInside, 1);
                EXPECT_EQ(readersInside.load(), 0);
                ++first;
                ++second;
                --writersInside;
            } else {
                ReadLockGuard guard(lock);
                ++readersInside;
                EXPECT_EQ(writersInside.load(), 0);
                EXPECT_EQ(first, second);
                --readersInside;
            }
        }
    });
    EXPECT_EQ(first, 6 * rounds / 3);
    EXPECT_EQ(second, first);
}

// The cache pattern: look up under the read lock, and on a miss fill the
// entry under the write lock while still holding the read lock, from inside
// an outer read lock of the same semaphore.
TEST(ReadWriteSemaphore, ReadersUpgradeAndNestWithoutDeadlock) {
    ReadWriteSemaphore lock;
    std::map<int, std::string> cache;
    std::atomic<int> fills{0};
    auto lookup = [&](int key) {
        ReadLockGuard read(lock);
        if (cache.count(key))
            return cache.at(key);
        WriteLockGuard write(lock);
        {
            ReadLockGuard readInsideWrite(lock);
            WriteLockGuard writeAgain(lock);
            if (cache.emplace(key, std::to_string(key)).second)
                ++fills;
        }
        return cache.at(key);
    };
    constexpr int keys = 50;
    RunTogether(4, [&](int) {
        for (int key = 0; key < keys; ++key) {
            ReadLockGuard outer(lock);
            EXPECT_EQ(lookup(key), std::to_string(key));
        }
    });
    EXPECT_EQ(fills.load(), keys);
    // Unlocking what this thread does not hold must not disturb the count.
    lock.ReadUnlock();
    lock.WriteUnlock();
    // Everything was released: a plain writer gets in.
    WriteLockGuard last(lock);
    EXPECT_EQ(cache.size(), static_cast<std::size_t>(keys));
}

TEST(CriticalSection, RecursiveOwnerAndNoLostUpdatesUnderContention) {
    CriticalSection section(4000);
    long counter = 0;
    constexpr int rounds = 5000;
    RunTogether(4, [&](int) {
        for (int i = 0; i < rounds; ++i) {
            CriticalSectionGuard outer(section);
            CriticalSectionGuard inner(section);
            ++counter;
        }
    });
    EXPECT_EQ(counter, 4L * rounds);

    section.Enter();
    EXPECT_TRUE(section.TryEnter());
    RunTogether(1, [&](int) {
        section.Leave(); // not the owner: changes nothing
        EXPECT_FALSE(section.TryEnter());
    });
    section.Leave();
    RunTogether(1, [&](int) { EXPECT_FALSE(section.TryEnter()); });
    section.Leave();
    RunTogether(1, [&](int) {
        EXPECT_TRUE(section.TryEnter());
        section.Leave();
    });
}
