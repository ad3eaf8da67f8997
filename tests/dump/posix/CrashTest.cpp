#include "../DumpTestSupport.h"

#include "dump/posix/CrashWatchdog.h"

#include <ZymWindows/ProcessDump.h>

#include <ZymMem/MemoryPool.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <Child.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <unistd.h>

namespace {

using DumpTest::Report;
using DumpTest::Section;

// The line of the faulting store below.
constexpr unsigned long FAULT_LINE = __LINE__ + 5;
// Volatile, so that the compiler can neither see the null nor drop the store;
// the null-pointer sanitizer would end the process first.
[[gnu::noinline]] __attribute__((no_sanitize("null"))) void FaultHere() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

// A framework thread that runs `body` and then waits until the process dies.
struct Body {
    void* Run(void*) {
        body();
        started.Set();
        for (;;)
            pause();
    }
    void (*body)();
    ZymThread::EventSemaphore started{true, false};
};

// Starts a named framework thread that first runs `body`; returns once the
// body has run, unless told not to wait. The thread lives until the process
// dies.
void StartThread(const std::string& name, void (*body)(), bool waitForBody = true) {
    auto* state = new Body{body};
    Zym::SmartPtr<ZymThread::Thread> thread =
        new ZymThread::Thread(name, new ZymThread::FunctionT<Body>(state, &Body::Run));
    thread->Run();
    thread->AddRef();
    if (waitForBody)
        state->started.Wait();
}

void Nothing() {}

void BlockAllSignals() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
}

const std::string LONG_NAME = "Crashing worker with a long name";

// Whether exactly one thread is marked and its stack starts at the store in
// FaultHere.
testing::AssertionResult FaultsAtTheSite(const Report& report) {
    return DumpTest::MarkedStartsAt(report, "FaultHere", "test_dump", "CrashTest.cpp", FAULT_LINE);
}

class DumpCrash : public ::testing::Test {
protected:
    // Runs `scenario` in a child process that must die of `signal`; reads
    // the report it left.
    Report Crash(void (*scenario)(const std::string&), int signal = SIGSEGV) {
        zymtest::Child child = zymtest::Child::Fork([&] {
            scenario(m_Folder.Path().string());
            return 0;
        });
        m_Ended = child.Wait();
        EXPECT_EQ(m_Ended.signal, signal) << m_Ended.err;
        const auto path = DumpTest::OnlyFile(m_Folder.Path(), ".txt");
        EXPECT_FALSE(path.empty()) << "no single report";
        return path.empty() ? Report{} : DumpTest::ReadReport(path);
    }
    zymtest::ScratchDirectory m_Folder;
    zymtest::ProcessResult m_Ended;
};

std::atomic<int> g_Depth{0};

// Each frame keeps a kilobyte of its own, so the stack ends after a few
// thousand frames.
[[gnu::noinline]] void Overflow() {
    volatile char block[1024];
    const int depth = g_Depth.fetch_add(1);
    block[0] = static_cast<char>(depth);
    if (depth >= 0) // always; the compiler cannot know that
        Overflow();
    block[1] = block[0];
}

TEST_F(DumpCrash, StackOverflowInAWorkerThreadIsReported) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        StartThread(LONG_NAME, Overflow, false);
        for (;;)
            pause();
    });
    ASSERT_TRUE(DumpTest::MarkedStartsAt(report, "Overflow", "test_dump", "CrashTest.cpp"));
    EXPECT_GT(report.Failing()->frames.size(), 1000u);
}

constexpr int DEPTH = 10000;

// Runs `bottom` DEPTH frames down.
[[gnu::noinline]] void Recurse(int depth, void (*bottom)()) {
    if (depth == 1)
        bottom();
    else
        Recurse(depth - 1, bottom);
    g_Depth.fetch_add(1); // keeps the call from becoming a jump
}

// A chunk too big for the per-thread caches, freed twice: glibc finds the
// second free with the arena's lock held (the process has threads) and
// aborts without letting it go.
[[gnu::noinline]] void FreeTwice() {
    void* volatile block = std::malloc(100 * 1024);
    void* volatile after = std::malloc(100 * 1024); // keeps the block off the top
    std::free(block);
    std::free(block);
    std::free(after);
}

TEST_F(DumpCrash, DoubleFreeWithTheAllocatorLockedIsReported) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator reports a double free itself";
#endif
    const Report report = Crash(
        [](const std::string& folder) {
            ZymWindows::InstallCrashHandler(folder, false);
            ZymMem::MemoryPool::New(100 * 1024); // held until the crash
            StartThread("Bystander", Nothing);
            FreeTwice();
        },
        SIGABRT);
    ASSERT_EQ(report.threads.size(), 2u);
    const Section* failing = report.Failing();
    ASSERT_EQ(failing, &report.threads[0]);
    EXPECT_TRUE(DumpTest::HasFrame(*failing, "FreeTwice"));
    EXPECT_EQ(report.threads[1].name, "Bystander");
}

// Parks a framework thread in vfork, where no ptrace stop reaches it, until
// the process dies; returns once it is parked. The child leaves when its
// parent process is gone and the pipe it waits on ends.
void ParkThreadInVfork() {
    static int ready[2];
    static int hold[2];
    if (pipe(ready) != 0 || pipe(hold) != 0)
        std::abort();
    StartThread(
        "Parked in vfork",
        [] {
            if (vfork() == 0) {
                close(hold[1]);
                char byte = 0;
                if (write(ready[1], &byte, 1) == 1)
                    while (read(hold[0], &byte, 1) > 0) {
                    }
                _exit(0);
            }
        },
        false);
    char byte = 0;
    if (read(ready[0], &byte, 1) != 1)
        std::abort();
}

// The helper inherits the crashing thread's signal mask unless it is reset.
void BlockAlarms() {
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
}

TEST_F(DumpCrash, MainThreadIsWalkedFromTheFaultAndAThreadThatCannotStopLosesOnlyItsStack) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        ParkThreadInVfork();
        StartThread(LONG_NAME, BlockAllSignals);
        BlockAlarms();
        Recurse(DEPTH, FaultHere);
    });
    EXPECT_NE(m_Ended.err.find("report: "), std::string::npos) << m_Ended.err;
    ASSERT_EQ(report.threads.size(), 3u);
    ASSERT_TRUE(FaultsAtTheSite(report));
    const Section& failing = *report.Failing();
    EXPECT_EQ(failing.name, "test_dump");
    // Walked through every recursion to its last frame.
    EXPECT_GT(failing.frames.size(), static_cast<std::size_t>(DEPTH));
    EXPECT_NE(failing.frames.back().function.find("start"), std::string::npos);
    EXPECT_EQ(report.threads[1].name, "Parked in vfork");
    EXPECT_TRUE(report.threads[1].frames.empty());
    // Its full name, and stopped although it blocks every signal.
    EXPECT_EQ(report.threads[2].name, LONG_NAME);
    EXPECT_TRUE(DumpTest::HasFrame(report.threads[2], "ZymThread::Thread::Body"));
}

TEST_F(DumpCrash, WatchdogEndsAStuckReportWithTheSignal) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        // Shorter than the helper's wait for the parked thread.
        ZymWindows::Platform::SetCrashWatchdogSeconds(1);
        ParkThreadInVfork();
        FaultHere();
    });
    // Cut short while the helper waited for the parked thread: no path was
    // printed, but the failing thread's section was written before.
    EXPECT_EQ(m_Ended.err.find("report: "), std::string::npos) << m_Ended.err;
    ASSERT_FALSE(report.threads.empty());
    EXPECT_TRUE(FaultsAtTheSite(report));
}

} // namespace
