#pragma once

namespace zymwin {

// The help text of `zymwin service`, which names this system's manager.
extern const char* const SERVICE_USAGE;

} // namespace zymwin
