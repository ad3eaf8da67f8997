#pragma once

#include "dump/ReportLayout.h"

#include <string>

namespace ZymWindows::Dump {

// Fills the header's disk line from the volume that holds `executable`:
// its root and the space free on it. The space stays unknown when the
// path has no root or the volume cannot be asked.
void SetExecutableDisk(ReportHeader& header, const std::string& executable);

} // namespace ZymWindows::Dump
