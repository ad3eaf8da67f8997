#pragma once

#include <Zym/Export.h>

namespace ZymThread {

// A new system thread may copy what its starting thread acts as at the
// moment (on Linux, its credentials), so a thread started inside an
// impersonation would run as that account for the rest of its life. Code
// that makes threads act as other accounts sets these hooks, and the
// framework brackets the start of each of its threads with them, so that
// every thread it starts begins as the process itself.
struct ThreadStartHooks {
    // On the starting thread, right before the new thread is made. False,
    // with the last error set, when it cannot be made as the process: the
    // thread is then not started.
    bool (*before)() noexcept = nullptr;
    // On the starting thread, once the new thread exists or failed to.
    void (*after)() noexcept = nullptr;
};

// Replaces the hooks; empty hooks do nothing.
ZYM_EXPORT void SetThreadStartHooks(const ThreadStartHooks& hooks) noexcept;

} // namespace ZymThread
