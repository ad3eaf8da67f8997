#include <ZymMem/MemoryPool.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

using ZymMem::MemoryPool;

namespace {

struct Usage {
    std::size_t current = 0, peak = 0;
};

Usage Now() {
    Usage usage;
    ZymMem::ZymGetMemoryAllocated(usage.current, usage.peak);
    return usage;
}

} // namespace

TEST(MemoryPool, CountsLiveBytesAndKeepsThePeak) {
    const Usage before = Now();
    void* small = MemoryPool::New(1000);
    void* large = MemoryPool::New(3000);
    void* empty = MemoryPool::New(0);
    EXPECT_NE(empty, nullptr);
    EXPECT_NE(empty, small);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(large) % alignof(std::max_align_t), 0u);
    std::memset(large, 0xAB, 3000);
    EXPECT_EQ(Now().current, before.current + 4000);
    MemoryPool::Delete(small);
    const Usage afterOne = Now();
    EXPECT_EQ(afterOne.current, before.current + 3000);
    EXPECT_GE(afterOne.peak, before.current + 4000);
    MemoryPool::Delete(large);
    MemoryPool::Delete(empty);
    MemoryPool::Delete(nullptr);
    EXPECT_EQ(Now().current, before.current);
    EXPECT_EQ(Now().peak, afterOne.peak);
    EXPECT_THROW(MemoryPool::New(SIZE_MAX - 4), std::bad_alloc);
    EXPECT_EQ(Now().current, before.current);
}

TEST(MemoryPool, CountersStayExactUnderConcurrentUse) {
    constexpr int threads = 4, blocks = 200;
    constexpr std::size_t blockSize = 64;
    const Usage before = Now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([] {
            for (int round = 0; round < 5; ++round) {
                std::vector<void*> held;
                for (int i = 0; i < blocks; ++i)
                    held.push_back(MemoryPool::New(blockSize));
                for (void* block : held)
                    MemoryPool::Delete(block);
            }
        });
    for (auto& worker : workers)
        worker.join();
    const Usage after = Now();
    EXPECT_EQ(after.current, before.current);
    // Each thread held all its blocks at once at least once.
    EXPECT_GE(after.peak, before.current + blocks * blockSize);
}
