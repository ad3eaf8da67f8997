#pragma once

#include <ZymWindows/Export.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <string>

namespace ZymWindows {

// Makes the calling thread act as another account while the object lives:
// the constructor logs the account on and impersonates it, the destructor
// reverts the thread to its own identity. Other threads of the process keep
// theirs. A client pipe initialised with the impersonating flag inside the
// scope reports the account to the server.
//
// The destructor must run on the constructing thread. Scopes nest on one
// thread, but destroying the inner one ends both impersonations.
class ZYMWINDOWS_EXPORT Impersonation : public Zym::SPRefCounter {
public:
    // Raises WindowsException with the system's text when the account
    // cannot be logged on or impersonated; the thread is then unchanged.
    Impersonation(const std::u16string& domain, const std::u16string& user,
                  const std::u16string& password);
    ~Impersonation() override;
    Impersonation(const Impersonation&) = delete;
    Impersonation& operator=(const Impersonation&) = delete;
};

} // namespace ZymWindows
