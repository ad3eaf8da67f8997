#include "../ZymSecurity/Platform.h"

#include "ZymSecurity/UnixAccounts.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>

#include <cerrno>
#include <grp.h>
#include <pwd.h>

#include <optional>
#include <utility>

namespace ZymSecurity::Platform {

namespace {

constexpr std::size_t FIRST_BUFFER = 1024;
constexpr std::size_t LARGEST_BUFFER = 1 << 20;

// Runs a reentrant NSS lookup, growing the buffer while it reports ERANGE,
// and picks the wanted field from the entry found. Nothing when the
// database has no such entry; a failure of the database also sets the last
// error.
template <class Entry, class Lookup, class Pick>
auto LookUp(Lookup lookup, Pick pick) -> std::optional<decltype(pick(std::declval<Entry&>()))> {
    std::vector<char> buffer(FIRST_BUFFER);
    for (;;) {
        Entry entry{};
        Entry* found = nullptr;
        const int error = lookup(&entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < LARGEST_BUFFER) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0)
            Zym::SetLastErrorFromErrno(error);
        if (!found)
            return std::nullopt;
        return pick(*found);
    }
}

std::optional<std::string> UserName(std::uint32_t uid) {
    return LookUp<passwd>(
        [uid](passwd* entry, char* buffer, std::size_t size, passwd** found) {
            return getpwuid_r(uid, entry, buffer, size, found);
        },
        [](const passwd& entry) { return std::string(entry.pw_name); });
}

std::optional<std::string> GroupName(std::uint32_t gid) {
    return LookUp<group>(
        [gid](group* entry, char* buffer, std::size_t size, group** found) {
            return getgrgid_r(gid, entry, buffer, size, found);
        },
        [](const group& entry) { return std::string(entry.gr_name); });
}

std::optional<std::uint32_t> UserId(const std::string& name) {
    return LookUp<passwd>(
        [&name](passwd* entry, char* buffer, std::size_t size, passwd** found) {
            return getpwnam_r(name.c_str(), entry, buffer, size, found);
        },
        [](const passwd& entry) { return std::uint32_t{entry.pw_uid}; });
}

std::optional<std::uint32_t> GroupId(const std::string& name) {
    return LookUp<group>(
        [&name](group* entry, char* buffer, std::size_t size, group** found) {
            return getgrnam_r(name.c_str(), entry, buffer, size, found);
        },
        [](const group& entry) { return std::uint32_t{entry.gr_gid}; });
}

// The domain of this computer's accounts.
const std::u16string& ComputerDomain() {
    static const std::u16string domain = Zym::ToLower(ZymNetwork::GetComputerName());
    return domain;
}

unsigned long NoneMapped() {
    Zym::SetLastError(Zym::ERROR_NONE_MAPPED);
    return Zym::ERROR_NONE_MAPPED;
}

// A Unix account of this computer; one that the database does not know (or
// could not answer for) keeps its number as its name.
unsigned long UnixAccount(const std::optional<std::string>& name, std::uint32_t id, SIDType type,
                          ResolvedAccount& account) {
    account.name = ZymCharset::FromUtf8(name ? *name : std::to_string(id));
    account.domain = ComputerDomain();
    account.type = type;
    return name ? static_cast<unsigned long>(Zym::ERROR_SUCCESS) : NoneMapped();
}

} // namespace

unsigned long ResolveSID(const BinarySID& sid, ResolvedAccount& account) {
    account.sid = sid;
    if (sid == UnixAccounts::UsersDomainSID()) {
        account.name = ComputerDomain();
        account.domain.clear();
        account.type = SidTypeDomain;
        return Zym::ERROR_SUCCESS;
    }
    if (const auto uid = UnixAccounts::UserId(sid))
        return UnixAccount(UserName(*uid), *uid, SidTypeUser, account);
    if (const auto gid = UnixAccounts::GroupId(sid))
        return UnixAccount(GroupName(*gid), *gid, SidTypeGroup, account);
    account.type = SidTypeUnknown;
    return NoneMapped();
}

// The computer, by any of its names, is the domain of its users; a user is
// found before a group of the same name.
unsigned long FindAccount(const std::u16string& account, BinarySID& sid) {
    const std::size_t separator = account.rfind(u'\\');
    std::u16string name = account;
    if (separator != std::u16string::npos) {
        const std::u16string domain = account.substr(0, separator);
        if (!domain.empty() && !ZymNetwork::IsLocalComputer(domain))
            return NoneMapped();
        name = account.substr(separator + 1);
    } else if (!name.empty() && ZymNetwork::IsLocalComputer(name)) {
        sid = UnixAccounts::UsersDomainSID();
        return Zym::ERROR_SUCCESS;
    }
    const std::string utf8 = ZymCharset::ToUtf8(name);
    if (const auto uid = UserId(utf8))
        sid = UnixAccounts::UserSID(*uid);
    else if (const auto gid = GroupId(utf8))
        sid = UnixAccounts::GroupSID(*gid);
    else
        return NoneMapped();
    return Zym::ERROR_SUCCESS;
}

} // namespace ZymSecurity::Platform
