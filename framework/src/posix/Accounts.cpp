#include "../ZymSecurity/Platform.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <grp.h>
#include <pwd.h>

#include <utility>

namespace ZymSecurity::Platform {

namespace {

constexpr std::size_t FIRST_BUFFER = 1024;
constexpr std::size_t LARGEST_BUFFER = 1 << 20;

// Runs a reentrant NSS lookup, growing the buffer while it reports ERANGE,
// and picks the wanted field from the entry found.
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

} // namespace

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

} // namespace ZymSecurity::Platform
