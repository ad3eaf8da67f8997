#pragma once

#include "dump/posix/HelperProtocol.h"

#include <cstddef>

namespace ZymWindows::Platform {

// Runs the helper installed with the library on `request`, followed by
// the framework names of this process's threads, and waits until it has
// ended. `written` receives the file the helper made ("" if none). Only
// async-signal-safe calls, nothing allocated. True when the helper did its
// whole job.
bool RunHelper(const DumpHelper::Request& request, char* written, std::size_t size) noexcept;

// Ends the helper that runs now, if any.
void AbandonHelper() noexcept;

} // namespace ZymWindows::Platform
