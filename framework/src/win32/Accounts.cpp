#include "../ZymSecurity/Platform.h"

#include "LocalAccounts.h"

#include <ZymCharset/Utf.h>

namespace ZymSecurity::Platform {

namespace {

bool IsUser(SID_NAME_USE use) {
    return use == SidTypeUser;
}

bool IsGroup(SID_NAME_USE use) {
    return use == SidTypeGroup || use == SidTypeAlias;
}

// The name of the local account with relative id `rid` when the account is
// of the wanted kind. An unknown account yields nothing and leaves the last
// error at ERROR_NONE_MAPPED.
std::optional<std::string> AccountName(std::uint32_t rid, bool (*isKind)(SID_NAME_USE)) {
    std::vector<unsigned char> sid = LocalAccountSID(rid);
    if (sid.empty())
        return std::nullopt;
    DWORD nameLength = 0, domainLength = 0;
    SID_NAME_USE use;
    ::LookupAccountSidW(nullptr, sid.data(), nullptr, &nameLength, nullptr, &domainLength, &use);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return std::nullopt;
    std::u16string name(nameLength, u'\0');
    std::vector<wchar_t> domain(domainLength);
    if (!::LookupAccountSidW(nullptr, sid.data(), reinterpret_cast<wchar_t*>(name.data()),
                             &nameLength, domain.data(), &domainLength, &use) ||
        !isKind(use))
        return std::nullopt;
    name.resize(nameLength);
    return ZymCharset::ToUtf8(name);
}

// The relative id of the named local account when it is of the wanted kind.
std::optional<std::uint32_t> AccountId(const std::string& name, bool (*isKind)(SID_NAME_USE)) {
    const std::u16string wide = ZymCharset::FromUtf8(name);
    const auto* account = reinterpret_cast<const wchar_t*>(wide.c_str());
    DWORD sidSize = 0, domainLength = 0;
    SID_NAME_USE use;
    ::LookupAccountNameW(nullptr, account, nullptr, &sidSize, nullptr, &domainLength, &use);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return std::nullopt;
    std::vector<unsigned char> sid(sidSize);
    std::vector<wchar_t> domain(domainLength);
    if (!::LookupAccountNameW(nullptr, account, sid.data(), &sidSize, domain.data(), &domainLength,
                              &use) ||
        !isKind(use))
        return std::nullopt;
    return LocalAccountRID(sid.data());
}

} // namespace

std::optional<std::string> UserName(std::uint32_t uid) {
    return AccountName(uid, IsUser);
}

std::optional<std::string> GroupName(std::uint32_t gid) {
    return AccountName(gid, IsGroup);
}

std::optional<std::uint32_t> UserId(const std::string& name) {
    return AccountId(name, IsUser);
}

std::optional<std::uint32_t> GroupId(const std::string& name) {
    return AccountId(name, IsGroup);
}

} // namespace ZymSecurity::Platform
