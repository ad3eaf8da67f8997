#include "DumpTestSupport.h"

#include <ZymWindows/ProcessDump.h>

#include <ZymMem/MemoryPool.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <Child.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
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
class Body {
public:
    explicit Body(void (*body)()) : m_Body(body) {}
    void* Run(void*) {
        m_Body();
        m_Started.Set();
        for (;;)
            m_Never.Wait();
    }
    ZymThread::EventSemaphore m_Started{true, false};

private:
    void (*m_Body)();
    ZymThread::EventSemaphore m_Never{true, false};
};

// Starts a named framework thread that first runs `body`; returns once the
// body has run, unless told not to wait. The thread lives until the process
// dies.
void StartThread(const std::string& name, void (*body)(), bool waitForBody = true) {
    auto* state = new Body(body);
    Zym::SmartPtr<ZymThread::Thread> thread =
        new ZymThread::Thread(name, new ZymThread::FunctionT<Body>(state, &Body::Run));
    thread->Run();
    thread->AddRef();
    if (waitForBody)
        state->m_Started.Wait();
}

void Nothing() {}

void BlockAllSignals() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
}

const std::string LONG_NAME = "Crashing worker with a long name";

bool HasFrame(const Section& thread, const std::string& function) {
    for (const auto& frame : thread.frames) {
        if (frame.function.find(function) != std::string::npos)
            return true;
    }
    return false;
}

// Whether exactly one thread is marked and its stack starts at the store in
// FaultHere.
testing::AssertionResult FaultsAtTheSite(const Report& report) {
    const Section* failing = report.Failing();
    if (failing == nullptr || failing->frames.empty())
        return testing::AssertionFailure() << "no single marked thread with a stack";
    const DumpTest::Frame& top = failing->frames[0];
    if (top.function.find("FaultHere") != std::string::npos && top.line == FAULT_LINE &&
        top.source.ends_with("CrashTest.cpp"))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << top.function << " " << top.source << ":" << top.line;
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
        EXPECT_EQ(child.Wait().signal, signal);
        const auto path = DumpTest::OnlyFile(m_Folder.Path(), ".txt");
        EXPECT_FALSE(path.empty()) << "no single report";
        return path.empty() ? Report{} : DumpTest::ReadReport(path);
    }
    zymtest::ScratchDirectory m_Folder;
};

TEST_F(DumpCrash, MainThreadIsMarkedAndWalkedFromTheFault) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        StartThread(LONG_NAME, Nothing);
        StartThread("Blocks all signals", BlockAllSignals);
        FaultHere();
    });
    ASSERT_EQ(report.threads.size(), 3u);
    ASSERT_TRUE(FaultsAtTheSite(report));
    const Section* failing = report.Failing();
    EXPECT_EQ(failing, &report.threads[0]); // the main thread comes first
    EXPECT_EQ(failing->name, "test_dump");
    EXPECT_EQ(failing->frames[0].module, "test_dump");
    // Every other thread has its full name and a stack, the one that blocks
    // every signal included.
    EXPECT_EQ(report.threads[1].name, LONG_NAME);
    EXPECT_EQ(report.threads[2].name, "Blocks all signals");
    for (const Section& thread : report.threads)
        EXPECT_TRUE(&thread == failing || HasFrame(thread, "ZymThread::Thread::Body"))
            << thread.name;
}

TEST_F(DumpCrash, WorkerThreadIsMarkedWithItsFullName) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        StartThread("Bystander", Nothing);
        StartThread(LONG_NAME, FaultHere);
    });
    ASSERT_EQ(report.threads.size(), 3u);
    ASSERT_TRUE(FaultsAtTheSite(report));
    EXPECT_EQ(report.Failing()->name, LONG_NAME);
}

std::atomic<int> g_Ready{0};

// Faults as soon as the other thread is ready too.
void FaultTogether() {
    g_Ready.fetch_add(1);
    while (g_Ready.load() < 2) {
    }
    FaultHere();
}

TEST_F(DumpCrash, TwoThreadsFaultingAtOnceGiveOneReport) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        // Started without waiting for them: neither body returns.
        StartThread("First", FaultTogether, false);
        StartThread("Second", FaultTogether, false);
        for (;;)
            pause();
    });
    ASSERT_EQ(report.threads.size(), 3u);
    ASSERT_TRUE(FaultsAtTheSite(report));
    const std::string& name = report.Failing()->name;
    EXPECT_TRUE(name == "First" || name == "Second") << name;
}

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

TEST_F(DumpCrash, StackOverflowIsReportedFromTheAlternateStack) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        Overflow();
    });
    const Section* failing = report.Failing();
    ASSERT_NE(failing, nullptr);
    ASSERT_FALSE(failing->frames.empty());
    EXPECT_NE(failing->frames[0].function.find("Overflow"), std::string::npos)
        << failing->frames[0].function;
    EXPECT_GT(failing->frames.size(), 1000u);
}

constexpr int DEPTH = 10000;

[[gnu::noinline]] void Recurse(int depth) {
    if (depth == 1)
        FaultHere();
    else
        Recurse(depth - 1);
    g_Depth.fetch_add(1); // keeps the call from becoming a jump
}

TEST_F(DumpCrash, DeepRecursionIsWalkedToTheLastFrame) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        Recurse(DEPTH);
    });
    ASSERT_TRUE(FaultsAtTheSite(report));
    const Section* failing = report.Failing();
    int recursions = 0;
    for (const auto& frame : failing->frames)
        recursions += frame.function.find("Recurse") != std::string::npos;
    EXPECT_EQ(recursions, DEPTH);
    EXPECT_NE(failing->frames.back().function.find("start"), std::string::npos);
}

std::atomic<bool> g_Allocating{false};

void AllocateForever() {
    g_Allocating = true;
    g_Allocating.notify_all();
    for (;;)
        ZymMem::MemoryPool::Delete(ZymMem::MemoryPool::New(4096));
}

void AllocateInThread() {
    ZymMem::MemoryPool::New(100 * 1024); // held until the crash
    StartThread("Allocator", AllocateForever, false);
    g_Allocating.wait(false);
}

TEST_F(DumpCrash, ReportIsWrittenWhileAnotherThreadAllocates) {
    const Report report = Crash([](const std::string& folder) {
        ZymWindows::InstallCrashHandler(folder, false);
        AllocateInThread();
        FaultHere();
    });
    EXPECT_NE(report.header.find("\tMemory usage: \n\t\tCurrent: 1"), std::string::npos);
    ASSERT_EQ(report.threads.size(), 2u);
    EXPECT_EQ(report.threads[1].name, "Allocator");
    EXPECT_FALSE(report.threads[1].frames.empty());
    EXPECT_TRUE(FaultsAtTheSite(report));
}

TEST_F(DumpCrash, AbortIsReportedAndStillEndsTheProcess) {
    const Report report = Crash(
        [](const std::string& folder) {
            ZymWindows::InstallCrashHandler(folder, false);
            std::abort();
        },
        SIGABRT);
    ASSERT_NE(report.Failing(), nullptr);
    const auto& frames = report.Failing()->frames;
    EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [](const DumpTest::Frame& frame) {
        return frame.function == "abort";
    }));
}

} // namespace
