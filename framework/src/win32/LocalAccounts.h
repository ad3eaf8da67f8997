#pragma once

#include <cstdint>
#include <optional>
#include <vector>
#include <windows.h>

// The accounts of this computer's own account domain, named by their
// relative ids: the form in which ZymSecurity's platform interface carries
// user and group ids on Windows.
namespace ZymSecurity::Platform {

// The SID of the local account with relative id `rid`; empty with the last
// error set when the computer's account domain cannot be read.
std::vector<unsigned char> LocalAccountSID(std::uint32_t rid);

// The relative id of `sid` when it names an account of this computer's
// account domain; nothing for any other SID (well-known and built-in
// accounts, other domains' accounts) or when the domain cannot be read.
std::optional<std::uint32_t> LocalAccountRID(PSID sid);

} // namespace ZymSecurity::Platform
