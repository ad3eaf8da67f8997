#pragma once

#include "dump/ReportLayout.h"
#include "dump/posix/HelperProtocol.h"

#include <string>
#include <sys/types.h>

namespace ZymDumpHelper {

// The full path of the process's executable; empty when unknown.
std::string ExecutablePath(pid_t processId);

// The report header's values for the process `processId`, the framework
// allocator's counts taken from the request.
ZymWindows::Dump::ReportHeader ProcessHeader(pid_t processId,
                                             const ZymWindows::DumpHelper::Request& request);

} // namespace ZymDumpHelper
