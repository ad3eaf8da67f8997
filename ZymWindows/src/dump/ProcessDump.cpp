#include <ZymWindows/ProcessDump.h>

#include "dump/DumpFileName.h"
#include "dump/DumpPlatform.h"
#include "dump/ReportLayout.h"

#include <ZymFile/Path.h>
#include <ZymMem/MemoryPool.h>

#include <Zym/Exception.h>

#include <exception>
#include <vector>

namespace ZymWindows {

ZymThread::CriticalSection ProcessDump::m_Lock(4000);

ProcessDump::ProcessDump(unsigned long threadId, const CONTEXT* context) noexcept
    : m_ThreadId(threadId), m_Context(context) {}

std::string ProcessDump::Write(const std::string& path) {
    ZymThread::CriticalSectionGuard guard(m_Lock);
    // The stacks first: from a signal handler nothing may be allocated
    // before the walk has started.
    std::vector<Dump::ThreadStack> threads;
    Platform::WalkThreadStacks(m_ThreadId, m_Context, threads);

    const std::string file = Dump::ResolveDumpPath(path, ".txt");
    std::ofstream stream(file, std::ios::out | std::ios::trunc);
    OutputHeader(stream);
    for (const Dump::ThreadStack& thread : threads)
        Dump::WriteThreadStack(stream, thread);
    stream.close();
    return file;
}

void ProcessDump::OutputHeader(std::ofstream& stream) const {
    Dump::ReportHeader header;
    try {
        header.dumpDate = Zym::DateTime::GetCurrentDateTime();
    } catch (const Zym::DateTimeException&) {
        // A clock outside the date type's range: the report shows 1970.
    }
    std::string executable;
    if (Platform::GetExecutablePath(executable)) {
        header.executable = executable;
        Dump::FileVersion version{};
        if (Platform::GetFileProductVersion(executable, version))
            header.version = version;
    }
    Dump::ProcessTimes times{};
    if (Platform::GetProcessTimes(times))
        header.times = times;
    ZymMem::ZymGetMemoryAllocated(header.memoryCurrent, header.memoryPeak);
    Dump::OSVersion os{};
    if (Platform::GetOSVersion(os))
        header.os = os;
    header.processors = Platform::GetNumberOfProcessors();
    Dump::MemoryStatus memory{};
    if (Platform::GetMemoryStatus(memory))
        header.memory = memory;
    try {
        const ZymFile::Path root = ZymFile::Path(executable).Root();
        header.diskRoot = root.Str();
        header.diskAvailable = root.GetAvailableDiskSpace();
    } catch (const std::exception&) {
        // Written as unknown.
    } catch (const Zym::BaseException&) {
        // Written as unknown.
    }
    Dump::WriteHeader(stream, header);
}

std::string WriteCoreDump(const std::string& path, bool full, const EXCEPTION_POINTERS* exception,
                          unsigned long threadId) {
    const std::string file = Dump::ResolveDumpPath(path, ".dmp");
    Platform::WriteCoreFile(file, full, exception, threadId);
    return file;
}

} // namespace ZymWindows
