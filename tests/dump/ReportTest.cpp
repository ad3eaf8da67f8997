#include "DumpTestSupport.h"

#include "dump/DumpFileName.h"

#include <ZymWindows/ProcessDump.h>

#include <TestFiles.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::size_t ThreadCount() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

TEST(DumpReport, DirectoryGetsATimeStampedFileOfEveryThreadNoneMarked) {
    const zymtest::ScratchDirectory folder;
    const std::string directory = folder.Path().string() + "/";
    // A thread id without a context marks nothing.
    const std::string path =
        ZymWindows::ProcessDump(static_cast<unsigned long>(gettid()), nullptr).Write(directory);
    ASSERT_EQ(path.rfind(directory, 0), 0u);
    EXPECT_TRUE(std::regex_match(path.substr(directory.size()),
                                 std::regex(R"(test_dump_\d{6}_\d{6}\.txt)")))
        << path;
    ASSERT_TRUE(fs::exists(path));
    const DumpTest::Report report = DumpTest::ReadReport(path);
    EXPECT_EQ(report.header.rfind(std::string(76, '*') + "\nDump date: ", 0), 0u);
    EXPECT_EQ(report.threads.size(), ThreadCount());
    for (const auto& thread : report.threads)
        EXPECT_FALSE(thread.failing);
    const DumpTest::Section* self = report.Thread(static_cast<unsigned long>(gettid()));
    ASSERT_NE(self, nullptr);
    bool write = false;
    for (const auto& frame : self->frames)
        write = write || frame.function.find("ZymWindows::ProcessDump::Write") == 0;
    EXPECT_TRUE(write);
}

TEST(DumpReport, FileNameStampIsTheLocalTimeYearMonthDayFirst) {
    using ZymWindows::Dump::ResolveDumpPath;
    // Day, month and hour all differ, and no field is padded by chance.
    const Zym::DateTime when(2024, 2, 7, 9, 8, 5, false);
    EXPECT_EQ(ResolveDumpPath("/var/crash/", "/opt/app/server.bin", when, ".txt"),
              "/var/crash/server.bin_240307_090805.txt");
    EXPECT_EQ(ResolveDumpPath("", "server", when, ".dmp"), "server_240307_090805.dmp");
    EXPECT_EQ(ResolveDumpPath("C:\\dumps\\", "C:\\bin\\app.exe", std::nullopt, ".txt"),
              "C:\\dumps\\app.exe_.txt");
    EXPECT_EQ(ResolveDumpPath("/given.log", "server", when, ".txt"), "/given.log");
}

TEST(DumpReport, UnwritablePathStillReturnsThePath) {
    const std::string path = "/nonexistent-folder/report.txt";
    EXPECT_EQ(ZymWindows::ProcessDump().Write(path), path);
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
