#include "dump/DumpFileName.h"

namespace ZymWindows::Dump {

std::optional<Zym::DateTime> Now() {
    try {
        return Zym::DateTime::GetCurrentDateTime();
    } catch (const Zym::DateTimeException&) {
        return std::nullopt;
    }
}

std::string ResolveDumpPath(const std::string& path, const std::string& executable,
                            const std::optional<Zym::DateTime>& now, const char* extension) {
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        return path;
    const std::size_t slash = executable.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? executable : executable.substr(slash + 1);
    std::string stamp;
    if (now) {
        try {
            stamp = now->AsStringLocal("%y%m%d_%H%M%S");
        } catch (const Zym::DateTimeException&) {
            // Not representable as local time; the name goes without.
        }
    }
    return path + name + "_" + stamp + extension;
}

} // namespace ZymWindows::Dump
