#pragma once

#include <string>

namespace ZymWindows::Platform {

// The library's own module: its load address (the instance handle) and the
// path of the file it was loaded from, both recorded when it was loaded.
void* ModuleHandle() noexcept;
std::string ModulePath();

} // namespace ZymWindows::Platform
