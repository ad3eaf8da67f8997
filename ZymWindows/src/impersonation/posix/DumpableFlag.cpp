#include "DumpableFlag.h"

#include <mutex>
#include <sys/prctl.h>

namespace ZymWindows::Platform::DumpableFlag {

namespace {

std::mutex g_Lock;
int g_Impersonating = 0;
int g_Saved = 1;

} // namespace

void Hold() noexcept {
    const std::lock_guard guard(g_Lock);
    if (g_Impersonating++ == 0)
        g_Saved = prctl(PR_GET_DUMPABLE);
}

void Release() noexcept {
    const std::lock_guard guard(g_Lock);
    // A thread that ends while impersonating never releases: the process
    // then stays undumpable, the safe side.
    if (--g_Impersonating == 0 && g_Saved >= 0)
        prctl(PR_SET_DUMPABLE, g_Saved);
}

} // namespace ZymWindows::Platform::DumpableFlag
