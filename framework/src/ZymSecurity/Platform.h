#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What ZymSecurity asks of the operating system.
namespace ZymSecurity::Platform {

// Account names from the system's account database (NSS); nothing when the
// database has no such account. Failures other than "not found" set the
// last error and also yield nothing.
std::optional<std::string> UserName(std::uint32_t uid);
std::optional<std::string> GroupName(std::uint32_t gid);
// The ids of named accounts, the same way.
std::optional<std::uint32_t> UserId(const std::string& name);
std::optional<std::uint32_t> GroupId(const std::string& name);

struct Credentials {
    std::uint32_t uid = 0;             // effective user
    std::uint32_t gid = 0;             // effective group
    std::vector<std::uint32_t> groups; // supplementary groups
};

// The effective credentials of the calling thread, or of the process (its
// main thread); false with the last error set when they cannot be read.
bool ThreadCredentials(Credentials& credentials);
bool ProcessCredentials(Credentials& credentials);

} // namespace ZymSecurity::Platform
