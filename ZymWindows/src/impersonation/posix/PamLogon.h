#pragma once

#include <string>

namespace ZymWindows::Platform {

// The PAM service whose stacks check a logon; without a file of that name
// in /etc/pam.d PAM uses its "other" service.
inline constexpr const char* LOGON_SERVICE = "zymwindows";

// Authenticates `account` with `password` and checks that the account may
// log on now, through PAM. Returns a Win32 error number; `pamUser`
// receives the name PAM settled on.
unsigned long PamLogon(const std::string& account, const std::string& password,
                       std::string& pamUser);

} // namespace ZymWindows::Platform
