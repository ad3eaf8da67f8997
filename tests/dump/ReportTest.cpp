#include "dump/DumpFileName.h"

#include <ZymWindows/ProcessDump.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

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
