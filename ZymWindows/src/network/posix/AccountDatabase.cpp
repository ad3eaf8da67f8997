#include "AccountDatabase.h"

#include <Zym/NoCase.h>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

namespace ZymWindows::Network::Platform {

namespace {

constexpr std::size_t FIRST_BUFFER = 4096;
constexpr std::size_t LARGEST_BUFFER = 1 << 22;

// The database's enumeration position is process-wide.
std::mutex g_EnumerationLock;

UserEntry FromPasswd(const passwd& entry) {
    return UserEntry{entry.pw_name, entry.pw_uid, entry.pw_gid};
}

GroupEntry FromGroup(const group& entry) {
    GroupEntry result{entry.gr_name, entry.gr_gid, {}};
    for (char** member = entry.gr_mem; member && *member; ++member)
        result.members.emplace_back(*member);
    return result;
}

// Runs a reentrant lookup, growing the buffer while it reports ERANGE.
template <class Entry, class Result, class Lookup, class Convert>
std::optional<Result> LookUp(Lookup lookup, Convert convert) {
    std::vector<char> buffer(FIRST_BUFFER);
    for (;;) {
        Entry entry{};
        Entry* found = nullptr;
        const int error = lookup(&entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < LARGEST_BUFFER) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (!found)
            return std::nullopt;
        return convert(*found);
    }
}

} // namespace

std::vector<UserEntry> AllUsers() {
    std::lock_guard guard(g_EnumerationLock);
    std::vector<UserEntry> users;
    setpwent();
    while (const passwd* entry = getpwent())
        users.push_back(FromPasswd(*entry));
    endpwent();
    return users;
}

std::vector<GroupEntry> AllGroups() {
    std::lock_guard guard(g_EnumerationLock);
    std::vector<GroupEntry> groups;
    setgrent();
    while (const group* entry = getgrent())
        groups.push_back(FromGroup(*entry));
    endgrent();
    return groups;
}

namespace {

// The entry of that name in any letter case, as Windows finds accounts; a
// database that matches case exactly is asked for the name as given first.
template <class Entry>
std::optional<Entry> AnyCase(const std::string& name, std::optional<Entry> exact,
                             std::vector<Entry> (*all)()) {
    if (exact)
        return exact;
    const std::vector<Entry> entries = all();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& entry) {
        return Zym::NoCase::Compare(entry.name, name) == 0;
    });
    return found == entries.end() ? std::nullopt : std::optional<Entry>(*found);
}

} // namespace

std::optional<UserEntry> FindUser(const std::string& name) {
    return AnyCase(name,
                   LookUp<passwd, UserEntry>(
                       [&name](passwd* entry, char* buffer, std::size_t size, passwd** found) {
                           return getpwnam_r(name.c_str(), entry, buffer, size, found);
                       },
                       FromPasswd),
                   &AllUsers);
}

std::optional<GroupEntry> FindGroup(const std::string& name) {
    return AnyCase(name,
                   LookUp<group, GroupEntry>(
                       [&name](group* entry, char* buffer, std::size_t size, group** found) {
                           return getgrnam_r(name.c_str(), entry, buffer, size, found);
                       },
                       FromGroup),
                   &AllGroups);
}

std::optional<GroupEntry> FindGroup(gid_t gid) {
    return LookUp<group, GroupEntry>(
        [gid](group* entry, char* buffer, std::size_t size, group** found) {
            return getgrgid_r(gid, entry, buffer, size, found);
        },
        FromGroup);
}

std::vector<gid_t> GroupsOfUser(const UserEntry& user) {
    std::vector<gid_t> groups(64);
    for (;;) {
        int count = static_cast<int>(groups.size());
        if (getgrouplist(user.name.c_str(), user.gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return groups;
        }
        groups.resize(static_cast<std::size_t>(count) > groups.size()
                          ? static_cast<std::size_t>(count)
                          : groups.size() * 2);
    }
}

} // namespace ZymWindows::Network::Platform
