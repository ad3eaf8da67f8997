#pragma once

#include <cstddef>
#include <cstdint>

// What a process hands the dump helper on its standard input: a Request,
// then the framework names of its threads as NameRecords, each followed by
// its `length` bytes, ended by a record with thread id 0. The helper
// resolves `path` as a dump file name, creates the file, says so on its
// standard output as "P <path>\n" and writes the report or the core file
// into it. For a report it stops one thread at a time, the failing one
// first, each within a short limit, and lets each go on as soon as its
// stack is written; for a core file it stops them all.
namespace ZymWindows::DumpHelper {

inline constexpr std::uint32_t REQUEST_MAGIC = 0x5A44554E; // "ZDUN"

enum class Job : std::uint32_t { REPORT = 1, CORE = 2, CORE_FULL = 3 };

// General registers of a thread as a signal handler's context holds them
// (the gregs of x86-64's mcontext_t, in that order).
inline constexpr int CONTEXT_REGISTERS = 23;

inline constexpr std::size_t PATH_SIZE = 4096;
inline constexpr std::size_t TIME_ZONE_SIZE = 256;
// The longest thread name sent; longer names are cut.
inline constexpr std::size_t NAME_SIZE = 256;

struct Request {
    std::uint32_t magic;
    Job job;
    std::int64_t processId;
    std::int64_t failingThread; // 0: none
    std::int32_t signal;        // the failing thread's signal, 0 if none
    std::uint32_t hasContext;
    std::int64_t registers[CONTEXT_REGISTERS];
    // The framework allocator's current and peak bytes.
    std::uint64_t memoryCurrent;
    std::uint64_t memoryPeak;
    char timeZone[TIME_ZONE_SIZE]; // the process's TZ, empty when unset
    char path[PATH_SIZE];          // a file, or a directory (empty, or ending in / or \)
};

struct NameRecord {
    std::int64_t threadId;
    std::uint32_t length;
};

} // namespace ZymWindows::DumpHelper
