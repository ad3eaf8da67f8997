#pragma once

#include <string>

namespace ZymWindows {

// Raises RegistryException with a catalogued registry message, recording
// the registry's source name and `line`.
[[noreturn]] void ThrowRegistryMessage(long code, long line, const std::u16string& param1);
[[noreturn]] void ThrowRegistryMessage(long code, long line, const std::u16string& param1,
                                       const std::u16string& param2);

// Raises RegistryException whose text is the system text of `code` alone.
[[noreturn]] void ThrowSystemText(long code);

} // namespace ZymWindows
