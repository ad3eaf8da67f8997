#pragma once

#include <cstddef>
#include <string>

namespace ZymWindows::Platform {

// The executable's full path as GetModuleFileNameA gives it; empty when
// it cannot be told.
std::string ExecutableFile();

// The file a dump given `path` goes to: `path` itself, or a time-stamped
// file named after the executable when `path` is a directory.
std::string DumpFile(const char* path, const char* extension);

// Hands `file` back through a caller's buffer, cut to fit.
void CopyWritten(const std::string& file, char* written, std::size_t size) noexcept;

} // namespace ZymWindows::Platform
