#pragma once

#include <Zym/Export.h>

#include <optional>

namespace Zym {

// The environment variable `name` read as milliseconds: a plain decimal
// number below 0xFFFFFFFF (the infinite wait). Nothing when it is unset,
// empty or anything else, so that a mistyped value keeps the default.
ZYM_EXPORT std::optional<unsigned long> MillisecondsFromEnvironment(const char* name);

} // namespace Zym
