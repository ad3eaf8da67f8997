#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace ZymWindows::Network::Platform {

// The system's account database (NSS), whatever its sources are.
struct UserEntry {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0; // primary group
};

struct GroupEntry {
    std::string name;
    gid_t gid = 0;
    std::vector<std::string> members; // its member list, as the database keeps it
};

// Every user and every group, in the database's order.
std::vector<UserEntry> AllUsers();
std::vector<GroupEntry> AllGroups();

// Accounts by name in any letter case, as on Windows.
std::optional<UserEntry> FindUser(const std::string& name);
std::optional<GroupEntry> FindGroup(const std::string& name);
std::optional<GroupEntry> FindGroup(gid_t gid);

// The groups a user belongs to: its primary group first, then every group
// whose member list names it.
std::vector<gid_t> GroupsOfUser(const UserEntry& user);

} // namespace ZymWindows::Network::Platform
