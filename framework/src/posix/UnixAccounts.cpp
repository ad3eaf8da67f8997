#include "ZymSecurity/UnixAccounts.h"

namespace ZymSecurity::UnixAccounts {

namespace {

constexpr std::uint32_t USERS = 1;
constexpr std::uint32_t GROUPS = 2;

std::optional<std::uint32_t> AccountId(const BinarySID& sid, std::uint32_t kind) {
    if (sid.Authority() != BinarySID::UNIX_AUTHORITY || sid.SubAuthorityCount() != 2 ||
        sid.SubAuthority(0) != kind)
        return std::nullopt;
    return sid.SubAuthority(1);
}

} // namespace

BinarySID UserSID(std::uint32_t uid) {
    return BinarySID(BinarySID::UNIX_AUTHORITY, {USERS, uid});
}

BinarySID GroupSID(std::uint32_t gid) {
    return BinarySID(BinarySID::UNIX_AUTHORITY, {GROUPS, gid});
}

BinarySID UsersDomainSID() {
    return BinarySID(BinarySID::UNIX_AUTHORITY, {USERS});
}

std::optional<std::uint32_t> UserId(const BinarySID& sid) {
    return AccountId(sid, USERS);
}

std::optional<std::uint32_t> GroupId(const BinarySID& sid) {
    return AccountId(sid, GROUPS);
}

} // namespace ZymSecurity::UnixAccounts
