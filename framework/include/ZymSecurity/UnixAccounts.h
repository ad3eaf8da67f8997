#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/BinarySID.h>

#include <cstdint>
#include <optional>

#if !defined(_WIN32)
// This system's Unix accounts as SIDs, in the established convention: user
// `uid` is S-1-22-1-uid, group `gid` is S-1-22-2-gid, and S-1-22-1 is the
// domain of this computer's users. Only the POSIX sides of the framework and
// of the library use it, to turn the numbers the kernel and the account
// database give into SIDs and back; Windows accounts have SIDs of their own.
namespace ZymSecurity::UnixAccounts {

ZYM_EXPORT BinarySID UserSID(std::uint32_t uid);
ZYM_EXPORT BinarySID GroupSID(std::uint32_t gid);
ZYM_EXPORT BinarySID UsersDomainSID();

// The number of a Unix user's or group's SID; nothing for any other SID.
ZYM_EXPORT std::optional<std::uint32_t> UserId(const BinarySID& sid);
ZYM_EXPORT std::optional<std::uint32_t> GroupId(const BinarySID& sid);

} // namespace ZymSecurity::UnixAccounts
#endif
