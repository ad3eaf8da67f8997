#pragma once

#include <cstdio>
#include <string>

namespace zymwin {

// What `zymwin impersonate` does as the account.
struct ImpersonatedWork {
    std::u16string domain;
    std::u16string user;
    std::u16string password;
    std::string touch;    // a file to create; empty for none
    std::string pipeName; // a pipe to send `message` over; empty for none
    std::string message;
};

// Runs `work` on a worker thread inside an impersonation scope, printing
// the thread's ids, the main thread's uid, what it did and the ids after
// the scope to `out`. Raises what the worker raised.
void RunImpersonated(const ImpersonatedWork& work, std::FILE* out);

} // namespace zymwin
