#include "../ZymSecurity/Platform.h"

#include <windows.h>

namespace ZymSecurity::Platform {

namespace {

// Closes a token handle when it goes.
struct TokenHandle {
    HANDLE handle = nullptr;
    ~TokenHandle() {
        if (handle != nullptr)
            ::CloseHandle(handle);
    }
};

// One class of a token's information, in a buffer of the size the system
// asks for; empty with the last error set on failure.
std::vector<unsigned char> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token, kind, buffer.data(), size, &size))
        return {};
    return buffer;
}

// The token's user, its primary group, then the groups it has enabled:
// those it acts with. Deny-only groups (a filtered administrator's) and the
// integrity label are not enabled.
unsigned long ReadToken(HANDLE token, Credentials& credentials) {
    const std::vector<unsigned char> user = TokenInformation(token, ::TokenUser);
    if (user.empty())
        return ::GetLastError();
    const std::vector<unsigned char> primary = TokenInformation(token, ::TokenPrimaryGroup);
    if (primary.empty())
        return ::GetLastError();
    const std::vector<unsigned char> groups = TokenInformation(token, ::TokenGroups);
    if (groups.empty())
        return ::GetLastError();
    credentials.user =
        BinarySID::FromPSID(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
    credentials.groups = {BinarySID::FromPSID(
        reinterpret_cast<const TOKEN_PRIMARY_GROUP*>(primary.data())->PrimaryGroup)};
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i)
        if (list->Groups[i].Attributes & SE_GROUP_ENABLED)
            credentials.groups.push_back(BinarySID::FromPSID(list->Groups[i].Sid));
    return ERROR_SUCCESS;
}

} // namespace

// A thread that impersonates nobody has no token of its own and acts with
// the process's.
unsigned long ThreadCredentials(Credentials& credentials) {
    TokenHandle token;
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token.handle))
        return ReadToken(token.handle, credentials);
    if (::GetLastError() != ERROR_NO_TOKEN)
        return ::GetLastError();
    return ProcessCredentials(credentials);
}

unsigned long ProcessCredentials(Credentials& credentials) {
    TokenHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token.handle))
        return ::GetLastError();
    return ReadToken(token.handle, credentials);
}

} // namespace ZymSecurity::Platform
