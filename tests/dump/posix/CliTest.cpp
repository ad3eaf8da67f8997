#include "../DumpTestSupport.h"

#include <TestFiles.h>
#include <gtest/gtest.h>

#include <csignal>

namespace {

namespace fs = std::filesystem;

TEST(DumpCli, CrashInTheSecondWorkerLeavesReportAndCore) {
    const zymtest::ScratchDirectory folder;
    const auto ended = zymtest::RunProcess({ZYMWIN_PATH, "dump", "crash", "--in-thread",
                                            "DumpWorker-2", "--core", folder.Path().string()});
    EXPECT_EQ(ended.signal, SIGSEGV) << ended.err;
    const fs::path report = DumpTest::OnlyFile(folder.Path(), ".txt");
    const fs::path core = DumpTest::OnlyFile(folder.Path(), ".dmp");
    ASSERT_FALSE(report.empty());
    ASSERT_FALSE(core.empty());
    // A sanitizer may warn before, about the report's own stack.
    EXPECT_TRUE(
        ended.err.ends_with("report: " + report.string() + "\ncore: " + core.string() + "\n"))
        << ended.err;
    EXPECT_TRUE(report.filename().string().starts_with("zymwin_"));

    const DumpTest::Report text = DumpTest::ReadReport(report);
    ASSERT_EQ(text.threads.size(), 3u);
    ASSERT_TRUE(DumpTest::MarkedStartsAt(text, "zymwin::CrashHereOnPurpose()", "zymwin",
                                         "tools/zymwin/dump/DumpCrash.cpp"));
    EXPECT_EQ(text.Failing()->name, "DumpWorker-2");

    const std::string gdb =
        zymtest::CommandOutput("gdb -batch -nx -ex 'thread apply all bt' '" +
                               std::string(ZYMWIN_PATH) + "' '" + core.string() + "'");
    ASSERT_NE(gdb.find("Program terminated with signal SIGSEGV"), std::string::npos) << gdb;
    // gdb starts in the thread of the first status note: the crashed
    // worker, not the first thread as a debugger would by itself.
    const std::size_t current = gdb.find("\n#0 ");
    ASSERT_NE(current, std::string::npos) << gdb;
    EXPECT_NE(gdb.substr(current, gdb.find('\n', current + 1) - current).find("CrashHereOnPurpose"),
              std::string::npos)
        << gdb;
    EXPECT_NE(gdb.find("CrashWithWorkers"), std::string::npos) << gdb; // the main thread's stack
    EXPECT_NE(gdb.find("start_thread"), std::string::npos) << gdb;     // libc found too
}

TEST(DumpCli, NoPathIsPrintedWhenNoFileWasWritten) {
    const zymtest::ScratchDirectory folder;
    const auto withoutHelper =
        zymtest::RunProcess({"/usr/bin/env", "ZYM_DUMP_HELPER=/nonexistent", ZYMWIN_PATH, "dump",
                             "crash", "--core", folder.Path().string()});
    EXPECT_EQ(withoutHelper.signal, SIGSEGV) << withoutHelper.err;
    EXPECT_TRUE(fs::is_empty(folder.Path()));
    EXPECT_EQ(withoutHelper.err.find("report: "), std::string::npos) << withoutHelper.err;

    const auto nowhere = zymtest::RunProcess(
        {ZYMWIN_PATH, "dump", "crash", "--core", (folder.Path() / "missing").string()});
    EXPECT_EQ(nowhere.signal, SIGSEGV) << nowhere.err;
    EXPECT_EQ(nowhere.err.find("report: "), std::string::npos) << nowhere.err;
    EXPECT_EQ(nowhere.err.find("core: "), std::string::npos) << nowhere.err;
}

TEST(DumpCli, ReportAndUsage) {
    const zymtest::ScratchDirectory folder;
    const fs::path path = folder.Path() / "self.txt";
    const auto printed = zymtest::RunProcess({ZYMWIN_PATH, "dump", "report", path.string()});
    EXPECT_EQ(printed.out, path.string() + "\n") << printed.err;
    EXPECT_EQ(DumpTest::ReadReport(path).threads.size(), 1u);
    EXPECT_EQ(zymtest::RunProcess({ZYMWIN_PATH, "dump", "--help"}).status, 0);
    EXPECT_EQ(zymtest::RunProcess({ZYMWIN_PATH, "dump", "crash"}).status, 1);
    EXPECT_EQ(zymtest::RunProcess({ZYMWIN_PATH, "dump", "crash", "--in-thread"}).status, 1);
    EXPECT_EQ(zymtest::RunProcess({ZYMWIN_PATH, "dump", "frobnicate"}).status, 1);
}

} // namespace
