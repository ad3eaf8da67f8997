#include "pipe/PipePlatform.h"

#include <windows.h>

namespace ZymWindows::Platform {

namespace {

// Ends the calling thread's impersonation when it goes.
struct RevertWhenDone {
    ~RevertWhenDone() { ::RevertToSelf(); }
};

} // namespace

unsigned long GetPipeClientToken(const Zym::Handle& pipe, ZymSecurity::AccessTokenPtr& token) {
    // The system authenticated the client: the thread takes on its token
    // for an instant, which is then read as the thread's own.
    if (!::ImpersonateNamedPipeClient(pipe.Get()))
        return ::GetLastError();
    const RevertWhenDone revert;
    token = ZymSecurity::NetworkSecurity::GetCurrentThreadHandle();
    return ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
