#include "../ZymSecurity/Platform.h"

#include <algorithm>
#include <windows.h>

namespace ZymSecurity::Platform {

namespace {

// A buffer for a text the system reports the length of, terminator
// included; never empty, so that the system is handed a real buffer.
std::vector<wchar_t> TextBuffer(DWORD length) {
    return std::vector<wchar_t>(std::max<DWORD>(length, 1));
}

std::u16string Text(const std::vector<wchar_t>& buffer, DWORD length) {
    return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

// The first call of a two-step lookup asks for the sizes only: it fails
// with ERROR_INSUFFICIENT_BUFFER when the account exists.
bool AskedForSizes(BOOL result) {
    return !result && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

} // namespace

unsigned long ResolveSID(const BinarySID& sid, ResolvedAccount& account) {
    account.sid = sid;
    account.type = SidTypeUnknown;
    const PSID psid = const_cast<unsigned char*>(sid.Bytes().data());
    DWORD nameLength = 0, domainLength = 0;
    SID_NAME_USE use;
    if (!AskedForSizes(
            ::LookupAccountSidW(nullptr, psid, nullptr, &nameLength, nullptr, &domainLength, &use)))
        return ::GetLastError();
    std::vector<wchar_t> name = TextBuffer(nameLength), domain = TextBuffer(domainLength);
    if (!::LookupAccountSidW(nullptr, psid, name.data(), &nameLength, domain.data(), &domainLength,
                             &use))
        return ::GetLastError();
    account.name = Text(name, nameLength);
    account.domain = Text(domain, domainLength);
    account.type = static_cast<SIDType>(use);
    return ERROR_SUCCESS;
}

unsigned long FindAccount(const std::u16string& account, BinarySID& sid) {
    const auto* name = reinterpret_cast<const wchar_t*>(account.c_str());
    DWORD sidSize = 0, domainLength = 0;
    SID_NAME_USE use;
    if (!AskedForSizes(
            ::LookupAccountNameW(nullptr, name, nullptr, &sidSize, nullptr, &domainLength, &use)))
        return ::GetLastError();
    std::vector<unsigned char> found(sidSize);
    std::vector<wchar_t> domain = TextBuffer(domainLength);
    if (!::LookupAccountNameW(nullptr, name, found.data(), &sidSize, domain.data(), &domainLength,
                              &use))
        return ::GetLastError();
    sid = BinarySID::FromPSID(found.data());
    return ERROR_SUCCESS;
}

} // namespace ZymSecurity::Platform
