#pragma once

#include <string>
#include <system_error>

namespace ZymFile::OS {

// The root of the volume that holds `resolved` (an absolute, normalised
// path): the deepest mount point above it, or its drive on Windows.
std::string VolumeRoot(const std::string& resolved);

// Sets the calling thread's last error from a failure that the standard
// file system library reported in the system's own error numbers.
void SetLastErrorFromSystem(const std::error_code& error) noexcept;

} // namespace ZymFile::OS
