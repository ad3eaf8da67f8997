// The framework's thread message queue next to what a program would
// otherwise use: a deque guarded by a mutex and a condition variable.
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/MessageQueue.h>

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using namespace ZymThread;

// A thread that answers each WM_USER with a WM_USER to the thread whose id
// the message carries, until WM_QUIT.
class Echo {
public:
    Echo()
        : m_Thread([this] {
              MSG msg;
              PeekMessage(&msg, 0, 0, PM_NOREMOVE);
              m_Id = GetCurrentThreadId();
              m_Ready.Set();
              while (GetMessage(&msg) > 0)
                  PostThreadMessage(static_cast<unsigned long>(msg.wParam), WM_USER, 0, 0);
          }) {
        m_Ready.Wait();
    }
    ~Echo() {
        PostThreadMessage(m_Id, WM_QUIT, 0, 0);
        m_Thread.join();
    }
    unsigned long Id() const { return m_Id; }

private:
    EventSemaphore m_Ready{true, false};
    unsigned long m_Id = 0;
    std::thread m_Thread;
};

// One round trip between two threads' queues.
void MessageRoundTrip(benchmark::State& state) {
    MSG msg;
    PeekMessage(&msg, 0, 0, PM_NOREMOVE);
    const Echo echo;
    const unsigned long self = GetCurrentThreadId();
    for (auto _ : state) {
        PostThreadMessage(echo.Id(), WM_USER, self, 0);
        GetMessage(&msg);
    }
}
BENCHMARK(MessageRoundTrip)->UseRealTime();

// The same round trip over two deques, each with its mutex and condition.
class PlainQueue {
public:
    void Post(std::uintptr_t value) {
        std::lock_guard guard(m_Lock);
        m_Items.push_back(value);
        m_Posted.notify_one();
    }
    std::uintptr_t Get() {
        std::unique_lock guard(m_Lock);
        m_Posted.wait(guard, [&] { return !m_Items.empty(); });
        const std::uintptr_t value = m_Items.front();
        m_Items.pop_front();
        return value;
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Posted;
    std::deque<std::uintptr_t> m_Items;
};

void PlainQueueRoundTrip(benchmark::State& state) {
    PlainQueue toPartner, toMain;
    std::thread partner([&] {
        while (toPartner.Get() != 0)
            toMain.Post(1);
    });
    for (auto _ : state) {
        toPartner.Post(1);
        toMain.Get();
    }
    toPartner.Post(0);
    partner.join();
}
BENCHMARK(PlainQueueRoundTrip)->UseRealTime();

// Posting a burst to the own queue and reading it back.
void MessageBurst(benchmark::State& state) {
    MSG msg;
    PeekMessage(&msg, 0, 0, PM_NOREMOVE);
    const unsigned long self = GetCurrentThreadId();
    const auto burst = static_cast<std::uintptr_t>(state.range(0));
    for (auto _ : state) {
        for (std::uintptr_t i = 0; i < burst; ++i)
            PostThreadMessage(self, WM_USER, i, 0);
        while (PeekMessage(&msg, 0, 0, PM_REMOVE))
            benchmark::DoNotOptimize(msg.wParam);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * burst));
}
BENCHMARK(MessageBurst)->Arg(1000);

void PlainQueueBurst(benchmark::State& state) {
    PlainQueue queue;
    const auto burst = static_cast<std::uintptr_t>(state.range(0));
    for (auto _ : state) {
        for (std::uintptr_t i = 0; i < burst; ++i)
            queue.Post(i);
        for (std::uintptr_t i = 0; i < burst; ++i)
            benchmark::DoNotOptimize(queue.Get());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * burst));
}
BENCHMARK(PlainQueueBurst)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
