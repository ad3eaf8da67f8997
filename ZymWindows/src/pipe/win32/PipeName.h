#pragma once

#include <string>

namespace ZymWindows::Platform::Win32 {

// A pipe path ("\\HOST\pipe\NAME") as the wide calls take it; the narrow
// path is in the ANSI code page.
std::wstring WidePipePath(const std::string& path);

} // namespace ZymWindows::Platform::Win32
