#include "ProcessValues.h"

#include "dump/DumpFileName.h"
#include "dump/ExecutableDisk.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace ZymDumpHelper {

using namespace ZymWindows;

namespace {

// 100-ns units between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t FILETIME_1970 = 116444736000000000ULL;

// Outside the version sum table whatever the kernel's version numbers, so a
// Linux system is never named as a Windows release.
constexpr unsigned long PLATFORM_LINUX = 0x100;

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

std::string ProcFile(pid_t processId, const char* name) {
    return "/proc/" + std::to_string(processId) + "/" + name;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The part of the user address space that mappings do not take: the
// counterpart of the free virtual address space.
bool VirtualSpace(pid_t processId, std::uint64_t& total, std::uint64_t& available) {
    // 47-bit user address space of x86-64 and most 64-bit configurations.
    total = (std::uint64_t{1} << 47) - 4096;
    std::ifstream maps(ProcFile(processId, "maps"));
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

// Fields 14 and 15 of /proc/PID/stat are the user and kernel time, field
// 22 the start, all in clock ticks (the start after boot); the command
// name (field 2) may hold blanks, so fields are counted from its ")".
bool GetProcessTimes(pid_t processId, Dump::ProcessTimes& times) {
    const std::string stat = ReadWhole(ProcFile(processId, "stat"));
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 > stat.size())
        return false;
    std::istringstream fields(stat.substr(close + 2));
    unsigned long long values[23] = {};
    for (int number = 3; number <= 22; ++number) {
        std::string field;
        if (!(fields >> field))
            return false;
        values[number] = std::strtoull(field.c_str(), nullptr, 10);
    }
    const std::string procStat = ReadWhole("/proc/stat");
    const std::size_t btime = procStat.find("\nbtime ");
    unsigned long long bootTime = 0;
    if (btime == std::string::npos ||
        std::sscanf(procStat.c_str() + btime + 7, "%llu", &bootTime) != 1)
        return false;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0)
        return false;
    const auto hundredNs = [&](unsigned long long ticks) {
        return ticks * 10000000ULL / static_cast<unsigned long long>(ticksPerSecond);
    };
    times.creation = FILETIME_1970 + bootTime * 10000000ULL + hundredNs(values[22]);
    times.exit = 0;
    times.kernel = hundredNs(values[15]);
    times.user = hundredNs(values[14]);
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

bool GetMemoryStatus(pid_t processId, Dump::MemoryStatus& status) {
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
    return VirtualSpace(processId, status.totalVirtual, status.availVirtual);
}

} // namespace

std::string ExecutablePath(pid_t processId) {
    char buffer[4096];
    const ssize_t length = readlink(ProcFile(processId, "exe").c_str(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

Dump::ReportHeader ProcessHeader(pid_t processId, const ZymWindows::DumpHelper::Request& request) {
    Dump::ReportHeader header;
    // A clock outside the date type's range leaves the default date.
    if (const auto now = Dump::Now())
        header.dumpDate = *now;
    const std::string executable = ExecutablePath(processId);
    if (!executable.empty())
        header.executable = executable;
    // ELF files carry no version resource: header.version stays empty.
    Dump::ProcessTimes times{};
    if (GetProcessTimes(processId, times))
        header.times = times;
    header.memoryCurrent = static_cast<std::size_t>(request.memoryCurrent);
    header.memoryPeak = static_cast<std::size_t>(request.memoryPeak);
    Dump::OSVersion os{};
    if (GetOSVersion(os))
        header.os = os;
    header.processors = GetNumberOfProcessors();
    Dump::MemoryStatus memory{};
    if (GetMemoryStatus(processId, memory))
        header.memory = memory;
    Dump::SetExecutableDisk(header, executable);
    return header;
}

} // namespace ZymDumpHelper
