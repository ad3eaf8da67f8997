#include "../DumpTestSupport.h"

#include <ZymWindows/ProcessDump.h>

#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <TestFiles.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

testing::AssertionResult HasFrame(const DumpTest::Section& thread, const std::string& function) {
    std::string functions;
    for (const auto& frame : thread.frames) {
        if (frame.function.find(function) != std::string::npos)
            return testing::AssertionSuccess();
        functions += " " + frame.function;
    }
    return testing::AssertionFailure() << "no " << function << " among" << functions;
}

// A framework thread that waits in ParkHere until told to go.
class ParkedThread {
public:
    ParkedThread() {
        m_Thread = new ZymThread::Thread(
            "Parked worker", new ZymThread::FunctionT<ParkedThread>(this, &ParkedThread::Run));
        m_Thread->Run();
        m_Parked.Wait();
    }
    ~ParkedThread() {
        m_Go.Set();
        m_Thread->Join();
    }
    ParkedThread(const ParkedThread&) = delete;
    ParkedThread& operator=(const ParkedThread&) = delete;

private:
    void* Run(void*) {
        ParkHere(m_Parked, m_Go);
        return nullptr;
    }
    [[gnu::noinline]] static void ParkHere(ZymThread::EventSemaphore& parked,
                                           ZymThread::EventSemaphore& go) {
        parked.Set();
        go.Wait();
        // Not a tail call: the wait returns here, so this frame stays.
        parked.Reset();
    }
    ZymThread::EventSemaphore m_Parked{true, false};
    ZymThread::EventSemaphore m_Go{true, false};
    Zym::SmartPtr<ZymThread::Thread> m_Thread;
};

// Writes a report marking the calling thread, walked from a context saved
// here.
[[gnu::noinline]] std::string ReportFromHere(const std::string& path) {
    CONTEXT context{};
    ::RtlCaptureContext(&context);
    return ZymWindows::ProcessDump(::GetCurrentThreadId(), &context).Write(path);
}

TEST(DumpReportWin32, EveryThreadWalkedAndTheCallerMarkedFromItsContext) {
    const ParkedThread parked;
    const zymtest::ScratchDirectory folder;
    const std::string directory = folder.Path().string() + "\\";
    const std::string path = ReportFromHere(directory);
    ASSERT_EQ(path.rfind(directory, 0), 0u);
    EXPECT_TRUE(std::regex_match(path.substr(directory.size()),
                                 std::regex(R"(test_dump\.exe_\d{6}_\d{6}\.txt)")))
        << path;
    // A text file: every line ends in CR LF.
    const std::string bytes = zymtest::ReadFile(path);
    EXPECT_EQ(std::regex_replace(bytes, std::regex("\r\n"), "").find('\n'), std::string::npos);
    EXPECT_EQ(bytes.rfind(std::string(76, '*') + "\r\nDump date: ", 0), 0u);

    const DumpTest::Report report = DumpTest::ReadReport(path);
    const DumpTest::Section* failing = report.Failing();
    ASSERT_NE(failing, nullptr);
    EXPECT_EQ(failing->threadId, ::GetCurrentThreadId());
    ASSERT_FALSE(failing->frames.empty());
    EXPECT_NE(failing->frames[0].function.find("ReportFromHere"), std::string::npos)
        << failing->frames[0].function;
    EXPECT_EQ(failing->frames[0].module, "test_dump.exe");
    EXPECT_TRUE(failing->frames[0].source.ends_with("SelfReportTest.cpp"))
        << failing->frames[0].source;
    // Another thread, suspended and walked from its own registers.
    const DumpTest::Section* worker = nullptr;
    for (const DumpTest::Section& thread : report.threads) {
        if (thread.name == "Parked worker")
            worker = &thread;
    }
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(HasFrame(*worker, "ParkHere"));
    EXPECT_TRUE(HasFrame(*worker, "ZymThread::Thread::Body"));
}

TEST(DumpReportWin32, WithoutAContextNothingIsMarkedAndTheCallerWalksItself) {
    const zymtest::ScratchDirectory folder;
    const fs::path path = folder.Path() / "self.txt";
    EXPECT_EQ(ZymWindows::ProcessDump(::GetCurrentThreadId()).Write(path.string()), path.string());
    const DumpTest::Report report = DumpTest::ReadReport(path);
    EXPECT_EQ(report.Failing(), nullptr);
    const DumpTest::Section* self = report.Thread(::GetCurrentThreadId());
    ASSERT_NE(self, nullptr);
    EXPECT_FALSE(self->failing);
    EXPECT_TRUE(HasFrame(*self, "ZymWindows::ProcessDump::Write"));
}

} // namespace
