#include "dump/ReportLayout.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

using namespace ZymWindows::Dump;

namespace {

// 2024-03-01 13:45:00 UTC as a FILETIME.
constexpr std::uint64_t MARCH_FIRST = 116444736000000000ULL + 1709300700ULL * 10000000ULL;
// Durations in 100-ns units.
constexpr std::uint64_t SECOND = 10000000ULL;

const std::string STARS(76, '*');

ReportHeader FullHeader() {
    ReportHeader header;
    header.dumpDate = Zym::DateTime(2024, 2, 1, 13, 45, 0, false);
    header.executable = "/opt/app/bin/server.bin";
    header.version = FileVersion{{1, 70, 3, 12}};
    header.times = ProcessTimes{MARCH_FIRST, 0, 3723 * SECOND + 9999999, 59 * SECOND};
    header.memoryCurrent = 10 * 1024 + 1023;
    header.memoryPeak = 2048 * 1024;
    header.os = OSVersion{2, 5, 1, 2600, "Service Pack 3", 3, 0, 0x0001 | 0x0020 | 0x0010, 1};
    header.processors = 8;
    header.memory = MemoryStatus{42, 8ULL << 30, (3ULL << 30) + 1023, 12ULL << 30, 6ULL << 30,
                                 // Beyond 4 TB in kilobytes: only the low 32 bits show.
                                 (1ULL << 42) + (5ULL << 10), 1ULL << 20, 0};
    header.diskRoot = "/opt";
    header.diskAvailable = 1024LL * 1024 * 1024 * 1024 * 3 + 2047;
    return header;
}

std::string Header(const ReportHeader& header) {
    std::ostringstream stream;
    WriteHeader(stream, header);
    return stream.str();
}

// The full header's text, in the pieces that a missing value replaces.
const std::string VERSION = "\tVersion: 1.70.3.12\n";
const std::string TIMES = "\tTimes (GMT):\n"
                          "\t\tCreation: 2024-03-01 13:45:00\n"
                          "\t\tExit    : 00:00:00\n"
                          "\t\tKernel  : 01:02:03\n"
                          "\t\tUser    : 00:00:59\n";
const std::string MEMORY_USAGE = "\tMemory usage: \n\t\tCurrent: 10k\n\t\tPeak: 2048k\n";
const std::string OS_BLOCK = "Windows XP Build: 2600\n"
                             "Service pack: Service Pack 3 Major: 3 Minor: 0\n"
                             "Suite: Small Business, Small Business Restricted, Terminal\n"
                             "Type: Workstation\n";
const std::string MEMORY_STATUS = "\tLoad: 42%\n"
                                  "\tTotalPhys: 8388608k\n"
                                  "\tAvailPhys: 3145728k\n"
                                  "\tTotalPageFile: 12582912k\n"
                                  "\tAvailPageFile: 6291456k\n"
                                  "\tTotalVirtual: 5k\n"
                                  "\tAvailVirtual: 1024k\n"
                                  "\tAvailExtendedVirtual: 0k\n";
const std::string FULL = STARS + "\nDump date: 2024-03-01 13:45:00\n\nProcess: \n" +
                         "\tName: /opt/app/bin/server.bin\n" + VERSION + TIMES + MEMORY_USAGE +
                         "\nOS version: " + OS_BLOCK + "\nNumber of processors: 8\n" +
                         "\nMemory status: \n" + MEMORY_STATUS +
                         "\nAvailable disk space on '/opt' 3221225473k\n" + STARS + "\n\n\n";

TEST(DumpLayout, FullHeaderCharacterForCharacter) {
    EXPECT_EQ(Header(FullHeader()), FULL);
}

// One value changed from the full header, and the one piece of its text
// that must change with it.
struct Variation {
    const char* what;
    std::function<void(ReportHeader&)> change;
    std::string from;
    std::string to;
};

TEST(DumpLayout, AMissingOrOddValueChangesOnlyItsOwnText) {
    const Variation variations[] = {
        {"no executable path, so no version", [](ReportHeader& h) { h.executable.reset(); },
         "\tName: /opt/app/bin/server.bin\n" + VERSION, "\t*unknown*\n"},
        {"no version resource", [](ReportHeader& h) { h.version.reset(); }, VERSION, ""},
        {"no process times", [](ReportHeader& h) { h.times.reset(); }, TIMES, ""},
        {"a day and more of CPU time reads as the time of day past it",
         [](ReportHeader& h) { h.times->kernel = (86400 + 5 * 3600 + 7) * SECOND; },
         "Kernel  : 01:02:03", "Kernel  : 05:00:07"},
        {"nothing allocated", [](ReportHeader& h) { h.memoryCurrent = 0; }, MEMORY_USAGE, ""},
        {"no system version", [](ReportHeader& h) { h.os.reset(); }, OS_BLOCK, "*unknown*\n"},
        {"an unknown product type runs into the next section",
         [](ReportHeader& h) { h.os->productType = 4; }, "Type: Workstation\n\n", "Type: \n"},
        {"a version sum outside the table (a Linux kernel) has no name",
         [](ReportHeader& h) { h.os = OSVersion{0x100, 6, 13, 5, "6.13.5-arch1", 0, 0, 0, 2}; },
         OS_BLOCK,
         " Build: 5\nService pack: 6.13.5-arch1 Major: 0 Minor: 0\nSuite: \n"
         "Type: Domain controller\n"},
        {"no memory status", [](ReportHeader& h) { h.memory.reset(); }, MEMORY_STATUS,
         "\t*unknown*\n"},
        {"no disk space", [](ReportHeader& h) { h.diskAvailable.reset(); }, "3221225473k",
         "*unknown*"},
    };
    for (const Variation& variation : variations) {
        ReportHeader header = FullHeader();
        variation.change(header);
        std::string expected = FULL;
        expected.replace(expected.find(variation.from), variation.from.size(), variation.to);
        EXPECT_EQ(Header(header), expected) << variation.what;
    }
}

TEST(DumpLayout, ThreadSections) {
    const StackFrame withSource{
        0x7F00DEADBEEFUL,
        true,
        {"libapp.so", "Orders::Take(int)", "/src/orders.cpp", 77, 0x7F00DEADBE00UL}};
    const StackFrame withoutSymbol{0x1234, false, {"libgone.so", "", "", 0, 0}};
    const StackFrame withoutSource{0xABC, true, {"app", "main", "", 0, 0xA00}};

    std::ostringstream stream;
    WriteThreadHead(stream, 0x1A2B, "Listen: orders", true);
    for (const StackFrame& frame : {withSource, withoutSymbol, withoutSource})
        WriteFrame(stream, frame);
    WriteThreadEnd(stream);
    WriteThreadHead(stream, 10, "", false);
    WriteFrame(stream, withoutSymbol);
    WriteThreadEnd(stream);
    EXPECT_EQ(stream.str(),
              "Thread 0x1A2B: Listen: orders <--- ERROR OCCURED IN THIS THREAD\n"
              "\tOrders::Take(int) [0x7F00DEADBE00 EIP:0x7F00DEADBEEF] in 'libapp.so'\n"
              "\t\t/src/orders.cpp [Line 77]\n"
              "\tmain [0xA00 EIP:0xABC] in 'app'\n"
              "\n\n"
              "Thread 0xA: \n\n\n");
}

} // namespace
