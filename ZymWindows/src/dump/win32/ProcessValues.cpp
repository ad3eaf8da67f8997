#include "dump/win32/ProcessValues.h"

#include "dump/DumpFileName.h"
#include "dump/ExecutableDisk.h"
#include "dump/win32/DumpTarget.h"

#include <ZymMem/MemoryPool.h>

#include <vector>
#include <windows.h>

namespace ZymWindows::Platform {

namespace {

std::uint64_t Ticks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// The product version of the file's version resource, if it has one.
std::optional<Dump::FileVersion> ProductVersion(const std::string& file) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoA(file.c_str(), 0, size, block.data()) ||
        !::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof *fixed)
        return std::nullopt;
    return Dump::FileVersion{{HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                              HIWORD(fixed->dwProductVersionLS),
                              LOWORD(fixed->dwProductVersionLS)}};
}

std::optional<Dump::ProcessTimes> Times() {
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return std::nullopt;
    return Dump::ProcessTimes{Ticks(creation), Ticks(exit), Ticks(kernel), Ticks(user)};
}

std::optional<Dump::OSVersion> OSVersion() {
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)))
        return std::nullopt;
    return Dump::OSVersion{
        version.dwPlatformId,      version.dwMajorVersion, version.dwMinorVersion,
        version.dwBuildNumber,     version.szCSDVersion,   version.wServicePackMajor,
        version.wServicePackMinor, version.wSuiteMask,     version.wProductType};
}

std::optional<Dump::MemoryStatus> MemoryStatus() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status))
        return std::nullopt;
    return Dump::MemoryStatus{status.dwMemoryLoad,     status.ullTotalPhys,
                              status.ullAvailPhys,     status.ullTotalPageFile,
                              status.ullAvailPageFile, status.ullTotalVirtual,
                              status.ullAvailVirtual,  status.ullAvailExtendedVirtual};
}

} // namespace

Dump::ReportHeader ProcessHeader() {
    Dump::ReportHeader header;
    if (const auto now = Dump::Now())
        header.dumpDate = *now;
    const std::string executable = ExecutableFile();
    if (!executable.empty()) {
        header.executable = executable;
        header.version = ProductVersion(executable);
    }
    header.times = Times();
    ZymMem::ZymGetMemoryAllocated(header.memoryCurrent, header.memoryPeak);
    header.os = OSVersion();
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    header.processors = system.dwNumberOfProcessors;
    header.memory = MemoryStatus();
    Dump::SetExecutableDisk(header, executable);
    return header;
}

} // namespace ZymWindows::Platform
