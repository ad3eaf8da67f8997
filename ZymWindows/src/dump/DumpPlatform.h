#pragma once

#include "dump/ReportLayout.h"

#include <string>
#include <vector>

// What the crash report and the core writer ask of the operating system.
// Queries answer false when the value cannot be had; none raises.
namespace ZymWindows::Platform {

// The full path of the process's executable.
bool GetExecutablePath(std::string& path);
// The product version recorded in an executable file.
bool GetFileProductVersion(const std::string& path, Dump::FileVersion& version);
bool GetProcessTimes(Dump::ProcessTimes& times);
bool GetOSVersion(Dump::OSVersion& version);
unsigned long GetNumberOfProcessors();
bool GetMemoryStatus(Dump::MemoryStatus& status);

// The call stacks of every thread of the process, in the system's thread
// order; threads that ended meanwhile are left out, a thread that could not
// be walked has no frames. The thread `failingThread` is walked from
// `context` when that is not null and marked failing. Until the walk has
// started, nothing is allocated and only async-signal-safe calls are made,
// so a fatal-signal handler may call it. False when no walk was possible.
bool WalkThreadStacks(unsigned long failingThread, const CONTEXT* context,
                      std::vector<Dump::ThreadStack>& threads);

// Creates (or truncates) the file `path` and writes a core file of the
// process into it; the thread `failingThread` is taken from `exception`'s
// context. The file stays empty when no core writer is available.
void WriteCoreFile(const std::string& path, bool full, const EXCEPTION_POINTERS* exception,
                   unsigned long failingThread);

} // namespace ZymWindows::Platform
