#include "../ZymSecurity/Platform.h"

#include "LocalAccounts.h"

namespace ZymSecurity::Platform {

namespace {

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

// The token's user, primary group and groups, as relative ids of this
// computer's accounts. Groups of other domains and well-known groups have
// no such id and are left out; a user or primary group without one fails
// with ERROR_NONE_MAPPED.
bool ReadToken(HANDLE token, Credentials& credentials) {
    const std::vector<unsigned char> user = TokenInformation(token, TokenUser);
    const std::vector<unsigned char> primary = TokenInformation(token, TokenPrimaryGroup);
    const std::vector<unsigned char> groups = TokenInformation(token, TokenGroups);
    ::CloseHandle(token);
    if (user.empty() || primary.empty() || groups.empty())
        return false;
    const auto uid = LocalAccountRID(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
    const auto gid =
        LocalAccountRID(reinterpret_cast<const TOKEN_PRIMARY_GROUP*>(primary.data())->PrimaryGroup);
    if (!uid || !gid) {
        ::SetLastError(ERROR_NONE_MAPPED);
        return false;
    }
    credentials.uid = *uid;
    credentials.gid = *gid;
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i)
        if (const auto rid = LocalAccountRID(list->Groups[i].Sid))
            credentials.groups.push_back(*rid);
    return true;
}

} // namespace

// A thread that impersonates nobody has no token of its own and acts with
// the process's.
bool ThreadCredentials(Credentials& credentials) {
    HANDLE token = nullptr;
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token))
        return ReadToken(token, credentials);
    if (::GetLastError() != ERROR_NO_TOKEN)
        return false;
    return ProcessCredentials(credentials);
}

bool ProcessCredentials(Credentials& credentials) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    return ReadToken(token, credentials);
}

} // namespace ZymSecurity::Platform
