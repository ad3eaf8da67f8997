#pragma once

#include "ProcessMemory.h"
#include "Tracee.h"

#include <string>

namespace ZymDumpHelper {

// The call stacks of the tracee's threads in the helper's walk format.
std::string WalkThreads(Tracee& tracee, ProcessMemory& memory);

} // namespace ZymDumpHelper
