#include "impersonation/ImpersonationPlatform.h"

#include <windows.h>

// <windows.h> maps these names to its A or W functions; here they are
// this family's own.
#undef LogonUser

#include <memory>

namespace ZymWindows::Platform {

// The token of a logged-on account.
class LogonToken {
public:
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

} // namespace

unsigned long LogonUser(const std::u16string& domain, const std::u16string& user,
                        const std::u16string& password, LogonToken*& token) {
    // The system reads the strings up to their first NUL: a name or
    // password holding one would log on somebody or something else.
    for (const std::u16string* text : {&domain, &user, &password})
        if (text->find(u'\0') != std::u16string::npos) {
            ::SetLastError(ERROR_LOGON_FAILURE);
            return ERROR_LOGON_FAILURE;
        }
    auto logon = std::make_unique<LogonToken>();
    if (!::LogonUserW(Wide(user), Wide(domain), Wide(password), LOGON32_LOGON_SERVICE,
                      LOGON32_PROVIDER_DEFAULT, &logon->handle))
        return ::GetLastError();
    token = logon.release();
    return ERROR_SUCCESS;
}

void CloseLogonToken(LogonToken* token) noexcept {
    if (!token)
        return;
    // The token is closed after a failed impersonation too, whose error
    // stays the thread's last.
    const DWORD error = ::GetLastError();
    ::CloseHandle(token->handle);
    delete token;
    ::SetLastError(error);
}

unsigned long ImpersonateLoggedOnUser(const LogonToken& token) {
    if (!::ImpersonateLoggedOnUser(token.handle))
        return ::GetLastError();
    return ERROR_SUCCESS;
}

void RevertToSelf() noexcept {
    ::RevertToSelf();
}

} // namespace ZymWindows::Platform
