#pragma once

#include <Zym/Export.h>

#include <string>
#include <string_view>

namespace ZymNetwork {

// This computer's name, in the case the system gives it: the host name up to
// its first dot, cut to the 15 characters that a computer name holds;
// "localhost" when the host has no name.
ZYM_EXPORT std::u16string GetComputerName();

// Whether `name` means this computer: empty, ".", "localhost" or the
// computer name in any letter case, each also with two leading backslashes
// ("\\" alone included).
ZYM_EXPORT bool IsLocalComputer(std::u16string_view name);

} // namespace ZymNetwork
