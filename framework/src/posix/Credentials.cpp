#include "../ZymSecurity/Platform.h"

#include "ZymSecurity/UnixAccounts.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace ZymSecurity::Platform {

namespace {

// Reads the effective ids from the "Uid:" and "Gid:" lines of a /proc
// status file and the supplementary groups from its "Groups:" line. The
// kernel keeps credentials per thread, and so does this file: the thread's
// own under /proc/thread-self, the main thread's under /proc/self.
unsigned long ReadStatus(const char* path, Credentials& credentials) {
    std::ifstream status(path);
    if (!status)
        return Zym::SetLastErrorFromErrno(errno ? errno : ENOENT);
    bool haveUid = false, haveGid = false;
    std::vector<std::uint32_t> supplementary;
    std::uint32_t real = 0, uid = 0, gid = 0;
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "Uid:")
            haveUid = static_cast<bool>(fields >> real >> uid);
        else if (key == "Gid:")
            haveGid = static_cast<bool>(fields >> real >> gid);
        else if (key == "Groups:")
            for (std::uint32_t group = 0; fields >> group;)
                supplementary.push_back(group);
    }
    if (!haveUid || !haveGid) {
        Zym::SetLastError(Zym::ERROR_INVALID_DATA);
        return Zym::ERROR_INVALID_DATA;
    }
    credentials.user = UnixAccounts::UserSID(uid);
    credentials.groups = {UnixAccounts::GroupSID(gid)};
    for (const std::uint32_t group : supplementary)
        credentials.groups.push_back(UnixAccounts::GroupSID(group));
    return Zym::ERROR_SUCCESS;
}

} // namespace

unsigned long ThreadCredentials(Credentials& credentials) {
    return ReadStatus("/proc/thread-self/status", credentials);
}

unsigned long ProcessCredentials(Credentials& credentials) {
    return ReadStatus("/proc/self/status", credentials);
}

} // namespace ZymSecurity::Platform
