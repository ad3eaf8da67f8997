#include "../DumpTestSupport.h"

#include <ZymWindows/ProcessDump.h>

#include <TestFiles.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

// Writes a report marking the calling thread, walked from a context saved
// here.
[[gnu::noinline]] std::string ReportFromHere(const std::string& path) {
    CONTEXT context{};
    ::RtlCaptureContext(&context);
    return ZymWindows::ProcessDump(::GetCurrentThreadId(), &context).Write(path);
}

TEST(DumpReportWin32, TheCallerIsMarkedOnlyWhenItsContextIsGiven) {
    const zymtest::ScratchDirectory folder;
    const std::string directory = folder.Path().string() + "\\";
    const std::string path = ReportFromHere(directory);
    ASSERT_EQ(path.rfind(directory, 0), 0u);
    EXPECT_TRUE(std::regex_match(path.substr(directory.size()),
                                 std::regex(R"(test_dump\.exe_\d{6}_\d{6}\.txt)")))
        << path;

    const DumpTest::Report report = DumpTest::ReadReport(path);
    ASSERT_TRUE(
        DumpTest::MarkedStartsAt(report, "ReportFromHere", "test_dump.exe", "SelfReportTest.cpp"));
    EXPECT_EQ(report.Failing()->threadId, ::GetCurrentThreadId());
    // Without a context nothing is marked, and the caller walks itself.
    const fs::path unmarked = folder.Path() / "self.txt";
    EXPECT_EQ(ZymWindows::ProcessDump(::GetCurrentThreadId()).Write(unmarked.string()),
              unmarked.string());
    const DumpTest::Report plain = DumpTest::ReadReport(unmarked);
    EXPECT_EQ(plain.Failing(), nullptr);
    const DumpTest::Section* self = plain.Thread(::GetCurrentThreadId());
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(DumpTest::HasFrame(*self, "ZymWindows::ProcessDump::Write"));
}

} // namespace
