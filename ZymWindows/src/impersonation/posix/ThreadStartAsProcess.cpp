#include "ThreadIdentity.h"

#include <Zym/LastError.h>
#include <ZymThread/ThreadStart.h>

#include <optional>

namespace ZymWindows::Platform {

namespace {

// A new thread copies its starter's credentials. A starter that
// impersonates steps out of the impersonation for the instant the thread
// is made, so that the thread is born with the process's own ids, and takes
// the impersonation up again at once.
thread_local std::optional<OwnIdsScope> t_Starting;

bool BeforeThreadStart() noexcept {
    t_Starting.emplace();
    if (const unsigned long error = t_Starting->Error(); error != Zym::ERROR_SUCCESS) {
        t_Starting.reset();
        Zym::SetLastError(error);
        return false;
    }
    return true;
}

void AfterThreadStart() noexcept {
    t_Starting.reset();
}

// Set while the library is loaded.
struct ThreadStartRegistration {
    ThreadStartRegistration() {
        ZymThread::SetThreadStartHooks({&BeforeThreadStart, &AfterThreadStart});
    }
    ~ThreadStartRegistration() { ZymThread::SetThreadStartHooks({}); }
    ThreadStartRegistration(const ThreadStartRegistration&) = delete;
    ThreadStartRegistration& operator=(const ThreadStartRegistration&) = delete;
};

const ThreadStartRegistration g_Registration;

} // namespace

} // namespace ZymWindows::Platform
