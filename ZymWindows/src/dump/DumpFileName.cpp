#include "dump/DumpFileName.h"

#include "dump/DumpPlatform.h"

#include <Zym/DateTime.h>

namespace ZymWindows::Dump {

std::string ResolveDumpPath(const std::string& path, const char* extension) {
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        return path;
    std::string executable;
    Platform::GetExecutablePath(executable);
    const std::size_t slash = executable.find_last_of("\\/");
    std::string name = slash == std::string::npos ? executable : executable.substr(slash + 1);
    std::string stamp;
    try {
        stamp = Zym::DateTime::GetCurrentDateTime().AsStringLocal("%y%m%d_%H%M%S");
    } catch (const Zym::DateTimeException&) {
        // The clock is outside the date type's range; the name goes without.
    }
    return path + name + "_" + stamp + extension;
}

} // namespace ZymWindows::Dump
