#include "../ZymSecurity/Platform.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace ZymSecurity::Platform {

namespace {

constexpr std::size_t COMPUTER_NAME_LENGTH = 15;
constexpr std::size_t FIRST_BUFFER = 1024;
constexpr std::size_t LARGEST_BUFFER = 1 << 20;

// Runs a reentrant NSS lookup, growing the buffer while it reports ERANGE.
template <class Entry, class Lookup>
std::optional<std::string> LookUpName(Lookup lookup, char* Entry::*nameField) {
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
        return std::string(found->*nameField);
    }
}

} // namespace

std::optional<std::string> UserName(std::uint32_t uid) {
    return LookUpName<passwd>(
        [uid](passwd* entry, char* buffer, std::size_t size, passwd** found) {
            return getpwuid_r(uid, entry, buffer, size, found);
        },
        &passwd::pw_name);
}

std::optional<std::string> GroupName(std::uint32_t gid) {
    return LookUpName<group>(
        [gid](group* entry, char* buffer, std::size_t size, group** found) {
            return getgrgid_r(gid, entry, buffer, size, found);
        },
        &group::gr_name);
}

std::string ComputerName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return "localhost";
    std::string name(host);
    name = name.substr(0, name.find('.')).substr(0, COMPUTER_NAME_LENGTH);
    return Zym::ToLower(name.empty() ? "localhost" : name);
}

} // namespace ZymSecurity::Platform
