#pragma once

#include <ZymWindows/Export.h>
#include <ZymWindows/ProcessDump.h>

#include <Zym/DateTime.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

// The crash report's text, written from plain values so that the layout
// does not depend on where the values come from. Exported for the tests.
namespace ZymWindows::Dump {

// A file's product version, most significant part first.
struct FileVersion {
    unsigned short parts[4];
};

// FILETIME values: creation and exit are instants (100-ns units since
// 1601-01-01 UTC), kernel and user are durations in 100-ns units.
struct ProcessTimes {
    std::uint64_t creation;
    std::uint64_t exit;
    std::uint64_t kernel;
    std::uint64_t user;
};

struct OSVersion {
    unsigned long platformId;
    unsigned long majorVersion;
    unsigned long minorVersion;
    unsigned long buildNumber;
    std::string csdVersion;
    unsigned short servicePackMajor;
    unsigned short servicePackMinor;
    unsigned short suiteMask;
    unsigned char productType;
};

// Bytes, as the memory status query gives them.
struct MemoryStatus {
    unsigned long memoryLoad; // percent
    std::uint64_t totalPhys;
    std::uint64_t availPhys;
    std::uint64_t totalPageFile;
    std::uint64_t availPageFile;
    std::uint64_t totalVirtual;
    std::uint64_t availVirtual;
    std::uint64_t availExtendedVirtual;
};

struct ReportHeader {
    Zym::DateTime dumpDate;
    std::optional<std::string> executable;
    std::optional<FileVersion> version;
    std::optional<ProcessTimes> times;
    std::size_t memoryCurrent = 0;
    std::size_t memoryPeak = 0;
    std::optional<OSVersion> os;
    unsigned long processors = 0;
    std::optional<MemoryStatus> memory;
    std::string diskRoot;
    std::optional<long long> diskAvailable; // bytes
};

struct StackFrame {
    std::uintptr_t pc = 0;
    bool hasSymbol = false;
    ProcessDump::FunctionInfo info;
};

ZYMWINDOWS_EXPORT void WriteHeader(std::ostream& stream, const ReportHeader& header);
// A thread section in parts, for a writer that has its frames one by one.
ZYMWINDOWS_EXPORT void WriteThreadHead(std::ostream& stream, unsigned long threadId,
                                       const std::string& name, bool failing);
ZYMWINDOWS_EXPORT void WriteFrame(std::ostream& stream, const StackFrame& frame);
ZYMWINDOWS_EXPORT void WriteThreadEnd(std::ostream& stream);

} // namespace ZymWindows::Dump
