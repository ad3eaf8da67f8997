#include "ZymWindows/Impersonation.h"

#include "ZymWindows/Exceptions.h"
#include "impersonation/ImpersonationPlatform.h"

#include <Zym/LastError.h>

#include <memory>

namespace ZymWindows {

namespace {

struct TokenClose {
    void operator()(Platform::LogonToken* token) const noexcept {
        Platform::CloseLogonToken(token);
    }
};

} // namespace

Impersonation::Impersonation(const std::u16string& domain, const std::u16string& user,
                             const std::u16string& password) {
    Platform::LogonToken* logon = nullptr;
    if (const unsigned long error = Platform::LogonUser(domain, user, password, logon);
        error != Zym::ERROR_SUCCESS)
        throw WindowsException(Zym::GetLastErrorMessage(error));
    // The token is only needed until the thread has taken on the account.
    const std::unique_ptr<Platform::LogonToken, TokenClose> token(logon);
    if (const unsigned long error = Platform::ImpersonateLoggedOnUser(*token);
        error != Zym::ERROR_SUCCESS)
        throw WindowsException(Zym::GetLastErrorMessage(error));
}

Impersonation::~Impersonation() {
    Platform::RevertToSelf();
}

} // namespace ZymWindows
