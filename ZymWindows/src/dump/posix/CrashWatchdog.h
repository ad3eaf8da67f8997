#pragma once

namespace ZymWindows::Platform {

// How long a crash may take before its signal ends the process, report or
// not. Tests shorten it.
inline constexpr unsigned CRASH_WATCHDOG_SECONDS = 30;
void SetCrashWatchdogSeconds(unsigned seconds) noexcept;

} // namespace ZymWindows::Platform
