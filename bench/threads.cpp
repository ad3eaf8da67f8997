// The framework's events, locks and allocator next to what a program would
// otherwise use: condition variables, std::shared_mutex,
// std::recursive_mutex and malloc.
#include <ZymMem/MemoryPool.h>
#include <ZymThread/CriticalSection.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/ReadWriteSemaphore.h>

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <shared_mutex>
#include <thread>

namespace {

// One round trip: the main thread signals the partner, the partner answers.
void EventPingPong(benchmark::State& state) {
    ZymThread::EventSemaphore ping(false, false), pong(false, false);
    bool stop = false;
    std::thread partner([&] {
        for (;;) {
            ping.Wait();
            if (stop)
                return;
            pong.Set();
        }
    });
    for (auto _ : state) {
        ping.Set();
        pong.Wait();
    }
    stop = true;
    ping.Set();
    partner.join();
}
BENCHMARK(EventPingPong)->UseRealTime();

// The same round trip with a mutex, a condition variable and a turn flag.
void ConditionVariablePingPong(benchmark::State& state) {
    std::mutex lock;
    std::condition_variable changed;
    int turn = 0; // 1: the partner's, 0: the main thread's, -1: stop
    std::thread partner([&] {
        std::unique_lock guard(lock);
        for (;;) {
            changed.wait(guard, [&] { return turn != 0; });
            if (turn < 0)
                return;
            turn = 0;
            changed.notify_all();
        }
    });
    for (auto _ : state) {
        std::unique_lock guard(lock);
        turn = 1;
        changed.notify_all();
        changed.wait(guard, [&] { return turn == 0; });
    }
    {
        std::lock_guard guard(lock);
        turn = -1;
    }
    changed.notify_all();
    partner.join();
}
BENCHMARK(ConditionVariablePingPong)->UseRealTime();

ZymThread::ReadWriteSemaphore g_ReadWrite;
std::shared_mutex g_Shared;

void ReadLockUnlock(benchmark::State& state) {
    for (auto _ : state) {
        g_ReadWrite.ReadLock();
        g_ReadWrite.ReadUnlock();
    }
}
BENCHMARK(ReadLockUnlock)->Threads(1)->Threads(2);

void SharedMutexReadLockUnlock(benchmark::State& state) {
    for (auto _ : state) {
        g_Shared.lock_shared();
        g_Shared.unlock_shared();
    }
}
BENCHMARK(SharedMutexReadLockUnlock)->Threads(1)->Threads(2);

ZymThread::CriticalSection g_Section(4000);
std::recursive_mutex g_Recursive;
long g_Counter = 0;

void CriticalSectionIncrement(benchmark::State& state) {
    for (auto _ : state) {
        ZymThread::CriticalSectionGuard guard(g_Section);
        ++g_Counter;
    }
}
BENCHMARK(CriticalSectionIncrement)->Threads(1)->Threads(2);

void RecursiveMutexIncrement(benchmark::State& state) {
    for (auto _ : state) {
        std::lock_guard guard(g_Recursive);
        ++g_Counter;
    }
}
BENCHMARK(RecursiveMutexIncrement)->Threads(1)->Threads(2);

void MemoryPoolNewDelete(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        void* block = ZymMem::MemoryPool::New(size);
        benchmark::DoNotOptimize(block);
        ZymMem::MemoryPool::Delete(block);
    }
}
BENCHMARK(MemoryPoolNewDelete)->Arg(64)->Arg(4096)->Threads(1)->Threads(2);

void MallocFree(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        void* block = std::malloc(size);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}
BENCHMARK(MallocFree)->Arg(64)->Arg(4096)->Threads(1)->Threads(2);

} // namespace

BENCHMARK_MAIN();
