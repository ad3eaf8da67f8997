#include "../ZymSecurity/Platform.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace ZymSecurity::Platform {

namespace {

// Reads the "Uid:", "Gid:" and "Groups:" lines of a /proc status file. The
// kernel keeps credentials per thread, and so does this file: the thread's
// own under /proc/thread-self, the main thread's under /proc/self.
bool ReadStatus(const char* path, Credentials& credentials) {
    std::ifstream status(path);
    if (!status) {
        Zym::SetLastErrorFromErrno(errno ? errno : ENOENT);
        return false;
    }
    bool haveUid = false, haveGid = false;
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        std::uint32_t real = 0;
        if (key == "Uid:")
            haveUid = static_cast<bool>(fields >> real >> credentials.uid);
        else if (key == "Gid:")
            haveGid = static_cast<bool>(fields >> real >> credentials.gid);
        else if (key == "Groups:")
            for (std::uint32_t gid = 0; fields >> gid;)
                credentials.groups.push_back(gid);
    }
    if (!haveUid || !haveGid) {
        Zym::SetLastError(Zym::ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

} // namespace

bool ThreadCredentials(Credentials& credentials) {
    return ReadStatus("/proc/thread-self/status", credentials);
}

bool ProcessCredentials(Credentials& credentials) {
    return ReadStatus("/proc/self/status", credentials);
}

} // namespace ZymSecurity::Platform
