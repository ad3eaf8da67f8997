#pragma once

#include <Zym/Export.h>

#include <string>

namespace Zym {

// The full path of the running program's file (GetModuleFileName without a
// module). False with the last error set when it cannot be told, as for a
// program whose file has been deleted since it started (2).
ZYM_EXPORT bool GetExecutablePath(std::string& path);

} // namespace Zym
