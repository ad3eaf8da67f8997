#pragma once

#include <string>

namespace ZymWindows::Dump {

// The file a dump writes: `path` itself, unless it is empty or ends in "/"
// or "\", in which case it is a directory and the file in it is named after
// the executable (extension kept), "_", the local time as "%y%m%d_%H%M%S"
// and `extension`.
std::string ResolveDumpPath(const std::string& path, const char* extension);

} // namespace ZymWindows::Dump
