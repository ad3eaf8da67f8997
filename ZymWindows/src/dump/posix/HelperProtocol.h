#pragma once

#include <cstdint>

// What a process hands the dump helper on its standard input. The helper
// attaches to every thread of `processId`, does the job and detaches. For
// a walk it writes on its standard output, per thread in /proc order:
//   "T <tid hex> <state>\n"   state: 0 walked, 1 gone, 2 could not be walked
// followed by the thread's frames, innermost first:
//   "F <pc hex> <symbol 0|1> <function address hex> <line>\t<module>\t<function>\t<source>\n"
// and a final "E\n". For a core file it writes the core on its standard
// output, which is then the core file itself.
namespace ZymWindows::DumpHelper {

inline constexpr std::uint32_t REQUEST_MAGIC = 0x5A44554D; // "ZDUM"

enum class Job : std::uint32_t { WALK = 1, CORE = 2, CORE_FULL = 3 };

// General registers of a thread as a signal handler's context holds them
// (the gregs of x86-64's mcontext_t, in that order).
inline constexpr int CONTEXT_REGISTERS = 23;

struct Request {
    std::uint32_t magic;
    Job job;
    std::int64_t processId;
    std::int64_t failingThread; // 0: none
    std::int32_t signal;        // the failing thread's signal, 0 if none
    std::uint32_t hasContext;
    std::int64_t registers[CONTEXT_REGISTERS];
};

// Thread states in a walk's "T" lines.
inline constexpr int THREAD_WALKED = 0;
inline constexpr int THREAD_GONE = 1;
inline constexpr int THREAD_NOT_WALKED = 2;

} // namespace ZymWindows::DumpHelper
