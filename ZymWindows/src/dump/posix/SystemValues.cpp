#include "dump/DumpPlatform.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// 100-ns units between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t FILETIME_1970 = 116444736000000000ULL;

// Outside the version sum table whatever the kernel's version numbers, so a
// Linux system is never named as a Windows release.
constexpr unsigned long PLATFORM_LINUX = 0x100;

std::uint64_t DurationFileTime(const timeval& time) {
    return static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
           static_cast<std::uint64_t>(time.tv_usec) * 10ULL;
}

// The value of a "Name:   N kB" line of /proc/meminfo, in bytes.
bool MemInfoBytes(const std::string& text, const char* name, std::uint64_t& bytes) {
    const std::string label = std::string("\n") + name + ":";
    const std::size_t at = ("\n" + text).find(label);
    if (at == std::string::npos)
        return false;
    unsigned long long kilobytes = 0;
    if (std::sscanf(text.c_str() + at + label.size() - 1, "%llu", &kilobytes) != 1)
        return false;
    bytes = kilobytes * 1024ULL;
    return true;
}

std::string ReadWhole(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The part of the user address space that mappings do not take: the
// counterpart of the free virtual address space.
bool VirtualSpace(std::uint64_t& total, std::uint64_t& available) {
    // 47-bit user address space of x86-64 and most 64-bit configurations.
    total = (std::uint64_t{1} << 47) - 4096;
    std::ifstream maps("/proc/self/maps");
    if (!maps)
        return false;
    std::uint64_t used = 0;
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long start = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &start, &end) == 2 && end <= total)
            used += end - start;
    }
    available = total - used;
    return true;
}

} // namespace

bool GetExecutablePath(std::string& path) {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return false;
    path.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// ELF files carry no version resource.
bool GetFileProductVersion(const std::string&, Dump::FileVersion&) {
    return false;
}

bool GetProcessTimes(Dump::ProcessTimes& times) {
    // Field 22 of /proc/self/stat is the start in clock ticks after boot;
    // the command name (field 2) may hold blanks, so count from its ")".
    const std::string stat = ReadWhole("/proc/self/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int number = 3; number < 22 && fields >> field; ++number) {
    }
    unsigned long long startTicks = 0;
    if (!(fields >> startTicks))
        return false;
    const std::string procStat = ReadWhole("/proc/stat");
    const std::size_t btime = procStat.find("\nbtime ");
    unsigned long long bootTime = 0;
    if (btime == std::string::npos ||
        std::sscanf(procStat.c_str() + btime + 7, "%llu", &bootTime) != 1)
        return false;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    rusage usage{};
    if (ticksPerSecond <= 0 || getrusage(RUSAGE_SELF, &usage) != 0)
        return false;
    const std::uint64_t startHundredNs =
        startTicks * 10000000ULL / static_cast<unsigned long long>(ticksPerSecond);
    times.creation = FILETIME_1970 + bootTime * 10000000ULL + startHundredNs;
    times.exit = 0;
    times.kernel = DurationFileTime(usage.ru_stime);
    times.user = DurationFileTime(usage.ru_utime);
    return true;
}

bool GetOSVersion(Dump::OSVersion& version) {
    utsname names{};
    if (uname(&names) != 0)
        return false;
    unsigned long major = 0;
    unsigned long minor = 0;
    unsigned long patch = 0;
    std::sscanf(names.release, "%lu.%lu.%lu", &major, &minor, &patch);
    version.platformId = PLATFORM_LINUX;
    version.majorVersion = major;
    version.minorVersion = minor;
    version.buildNumber = patch;
    version.csdVersion = names.release;
    version.servicePackMajor = 0;
    version.servicePackMinor = 0;
    version.suiteMask = 0;
    // Neither workstation nor server: Linux makes no such distinction.
    version.productType = 0;
    return true;
}

unsigned long GetNumberOfProcessors() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<unsigned long>(count) : 0;
}

bool GetMemoryStatus(Dump::MemoryStatus& status) {
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return false;
    const std::uint64_t unit = info.mem_unit;
    const std::uint64_t totalPhys = info.totalram * unit;
    std::uint64_t availPhys = info.freeram * unit;
    MemInfoBytes(ReadWhole("/proc/meminfo"), "MemAvailable", availPhys);
    status.totalPhys = totalPhys;
    status.availPhys = availPhys;
    status.memoryLoad =
        totalPhys == 0 ? 0 : static_cast<unsigned long>((totalPhys - availPhys) * 100 / totalPhys);
    status.totalPageFile = totalPhys + info.totalswap * unit;
    status.availPageFile = availPhys + info.freeswap * unit;
    status.availExtendedVirtual = 0;
    return VirtualSpace(status.totalVirtual, status.availVirtual);
}

} // namespace ZymWindows::Platform
