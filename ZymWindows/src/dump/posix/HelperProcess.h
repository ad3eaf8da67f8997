#pragma once

#include "dump/posix/HelperProtocol.h"

namespace ZymWindows::Platform {

// A started dump helper: its process and, for a walk, the read end of its
// output.
struct HelperRun {
    int processId = -1;
    int output = -1;
};

// Starts the helper installed with the library on `request`, its output
// going to `outputFile` or, when that is -1, to a pipe left in
// `run.output`. Only async-signal-safe calls, nothing allocated. False
// when the helper could not be started.
bool StartHelper(const DumpHelper::Request& request, int outputFile, HelperRun& run) noexcept;

// Closes the output pipe and waits for the helper to end. True when it
// ended with status 0.
bool FinishHelper(HelperRun& run) noexcept;

} // namespace ZymWindows::Platform
