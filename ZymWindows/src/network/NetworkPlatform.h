#pragma once

#include <string>

namespace ZymWindows::Platform {

// The name of this computer as the system gives it: the host name up to
// its first dot, cut to the 15 characters that a computer name holds.
std::u16string GetComputerName();

} // namespace ZymWindows::Platform
