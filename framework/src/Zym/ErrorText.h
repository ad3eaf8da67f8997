#pragma once

#include <string>

namespace Zym::Platform {

// The system's text for an error code that the framework's own table of
// system texts does not hold ("Unknown error N." when the system has none).
std::u16string UnlistedErrorText(unsigned long code);

} // namespace Zym::Platform
