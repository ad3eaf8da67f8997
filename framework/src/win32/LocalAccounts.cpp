#include "LocalAccounts.h"

namespace ZymSecurity::Platform {

namespace {

// This computer's account domain SID, found by looking the computer's name
// up as an account; empty with the last error set on failure.
std::vector<unsigned char> AccountDomainSID() {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(computer, &computerLength))
        return {};
    DWORD sidSize = 0, domainLength = 0;
    SID_NAME_USE use;
    ::LookupAccountNameW(nullptr, computer, nullptr, &sidSize, nullptr, &domainLength, &use);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::vector<unsigned char> sid(sidSize);
    std::vector<wchar_t> domain(domainLength);
    if (!::LookupAccountNameW(nullptr, computer, sid.data(), &sidSize, domain.data(), &domainLength,
                              &use))
        return {};
    if (use != SidTypeDomain) {
        ::SetLastError(ERROR_NONE_MAPPED);
        return {};
    }
    return sid;
}

} // namespace

std::vector<unsigned char> LocalAccountSID(std::uint32_t rid) {
    std::vector<unsigned char> sid = AccountDomainSID();
    if (sid.empty())
        return sid;
    // A SID is a revision byte, a count of sub-authorities, a 6-byte
    // authority and the sub-authorities; the account's id is one more.
    const DWORD domainLength = ::GetLengthSid(sid.data());
    sid.resize(domainLength + sizeof(DWORD));
    ++*::GetSidSubAuthorityCount(sid.data());
    *::GetSidSubAuthority(sid.data(), *::GetSidSubAuthorityCount(sid.data()) - 1) = rid;
    return sid;
}

std::optional<std::uint32_t> LocalAccountRID(PSID sid) {
    if (!::IsValidSid(sid) || *::GetSidSubAuthorityCount(sid) == 0)
        return std::nullopt;
    std::vector<unsigned char> local = LocalAccountSID(0);
    if (local.empty() || !::EqualPrefixSid(sid, local.data()) ||
        *::GetSidSubAuthorityCount(sid) != *::GetSidSubAuthorityCount(local.data()))
        return std::nullopt;
    return *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1);
}

} // namespace ZymSecurity::Platform
