#pragma once

#include "ProcessMemory.h"
#include "Tracee.h"

#include <map>
#include <ostream>
#include <string>

namespace ZymDumpHelper {

// The framework's names of the process's threads, by thread id.
using ThreadNames = std::map<pid_t, std::string>;

// Writes the crash report of the tracee: the header, then a section per
// thread, the failing one first. Each thread is stopped only while its own
// stack is walked, and its section is written out as it goes, so that a
// helper that dies leaves the sections done so far. A thread that did not
// stop has its section without frames. False when writing failed.
bool WriteReport(Tracee& tracee, ProcessMemory& memory,
                 const ZymWindows::DumpHelper::Request& request, const ThreadNames& names,
                 std::ostream& report);

} // namespace ZymDumpHelper
