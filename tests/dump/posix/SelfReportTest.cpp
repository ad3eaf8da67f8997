#include "../DumpTestSupport.h"

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

TEST(DumpCore, CoreOfARunningProcessFullAndNot) {
    const zymtest::ScratchDirectory folder;
    const std::string small =
        ZymWindows::WriteCoreDump((folder.Path() / "small.core").string(), false, nullptr, 0);
    const std::string full =
        ZymWindows::WriteCoreDump(folder.Path().string() + "/", true, nullptr, 0);
    EXPECT_TRUE(full.ends_with(".dmp"));
    ASSERT_TRUE(fs::exists(small));
    ASSERT_TRUE(fs::exists(full));
    // The read-only file mappings make the difference.
    EXPECT_GT(fs::file_size(full), fs::file_size(small) + 1024 * 1024);
    for (const std::string& core : {small, full}) {
        const std::string stack =
            zymtest::CommandOutput("eu-stack --core='" + core + "' --executable='" +
                                   fs::read_symlink("/proc/self/exe").string() + "'");
        EXPECT_NE(stack.find("ZymWindows::WriteCoreDump"), std::string::npos) << stack;
    }
}

} // namespace
