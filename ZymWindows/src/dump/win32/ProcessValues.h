#pragma once

#include "dump/ReportLayout.h"

namespace ZymWindows::Platform {

// The report header's values for this process and machine.
Dump::ReportHeader ProcessHeader();

} // namespace ZymWindows::Platform
