#pragma once

#include <string>
#include <vector>

namespace ZymFile::OS {

// The mount points of the file systems that this process sees, as
// absolute paths; empty when the system does not tell.
std::vector<std::string> MountPoints();

} // namespace ZymFile::OS
