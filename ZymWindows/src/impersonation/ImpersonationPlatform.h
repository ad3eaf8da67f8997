#pragma once

#include <string>

// What logon impersonation asks of the operating system. Every function
// reports failure as a Win32 error number, also left as the thread's last
// error.
namespace ZymWindows::Platform {

// A logged-on account, ready to be impersonated.
class LogonToken;

// Checks the account's password and its right to log on now; `domain` is
// empty, "." or this computer's name for a local account.
unsigned long LogonUser(const std::u16string& domain, const std::u16string& user,
                        const std::u16string& password, LogonToken*& token);
void CloseLogonToken(LogonToken* token) noexcept;

// Makes the calling thread act as the account, replacing any impersonation
// it had; on failure the thread keeps the identity it had.
unsigned long ImpersonateLoggedOnUser(const LogonToken& token);

// Gives the calling thread its own identity back; nothing to do when it is
// not impersonating.
void RevertToSelf() noexcept;

} // namespace ZymWindows::Platform
