#pragma once

#include <sys/types.h>

#include <vector>

// The calling thread's own credentials and their changes. The kernel keeps
// credentials per thread; the glibc wrappers of setresuid and friends
// change every thread of the process, so this code uses the raw system
// calls and acts on the calling thread alone.
namespace ZymWindows::Platform {

// Effective ids: what files and sockets see of a thread.
struct ThreadIds {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups; // supplementary groups
};

// The calling thread's effective ids; a Win32 error number on failure.
unsigned long ReadThreadIds(ThreadIds& ids);

// Whether the calling thread may take on other accounts' ids.
bool MayChangeIds();

// Makes the calling thread act with `account`'s ids, remembering its own
// the first time; on failure it keeps the ids it had.
unsigned long TakeOnIds(const ThreadIds& account);

// Gives the calling thread its own ids back, if it has taken on others.
void ReturnToOwnIds() noexcept;

// While it lives, the calling thread acts with its own ids, even inside an
// impersonation, which it takes up again afterwards.
class OwnIdsScope {
public:
    OwnIdsScope();
    ~OwnIdsScope();
    OwnIdsScope(const OwnIdsScope&) = delete;
    OwnIdsScope& operator=(const OwnIdsScope&) = delete;

    // The error met while stepping out of the impersonation, if any.
    unsigned long Error() const noexcept { return m_Error; }

private:
    bool m_Stepped = false;
    unsigned long m_Error = 0;
    ThreadIds m_Impersonated;
};

} // namespace ZymWindows::Platform
