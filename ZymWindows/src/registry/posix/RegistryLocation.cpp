#include "registry/posix/RegistryLocation.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZymWindows::Platform::Posix {

namespace {

constexpr const char* MACHINE_DIR = "/var/lib/zymwindows/registry";
constexpr const char* USER_SUBDIR = "/zymwindows/registry";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeDirectory() {
    std::string home = Environment("HOME");
    if (home.empty()) {
        passwd entry{};
        passwd* found = nullptr;
        char buffer[4096];
        if (getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
            home = found->pw_dir;
    }
    return home;
}

std::string UserDirectory() {
    std::string data = Environment("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/')
        data = HomeDirectory() + "/.local/share";
    return data + USER_SUBDIR;
}

// mkdir -p; true when the folder exists at the end.
bool MakeDirectories(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

const char* FileName(Hive hive) {
    switch (hive) {
    case Hive::MACHINE:
        return "HKEY_LOCAL_MACHINE.db";
    case Hive::USERS:
        return "HKEY_USERS.db";
    case Hive::CURRENT_USER:
        return "HKEY_CURRENT_USER.db";
    }
    return "";
}

} // namespace

long HivePath(Hive hive, std::string& path) {
    std::string directory = Environment("ZYM_REGISTRY_DIR");
    if (directory.empty())
        directory = hive == Hive::CURRENT_USER ? UserDirectory() : MACHINE_DIR;
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    if (!MakeDirectories(directory))
        return Zym::ERROR_ACCESS_DENIED;
    path = directory + "/" + FileName(hive);
    return Zym::ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform::Posix
