#include <ZymWindows/ProcessDump.h>

#include "dump/DumpFileName.h"
#include "dump/DumpPlatform.h"

#include <Zym/ExecutablePath.h>

#include <fstream>
#include <vector>

namespace ZymWindows {

namespace {

std::string DumpPath(const std::string& path, const char* extension) {
    std::string executable;
    Zym::GetExecutablePath(executable);
    return Dump::ResolveDumpPath(path, executable, Dump::Now(), extension);
}

// The file is made here when a writer that did not start could not make
// it: an empty report or core file rather than none.
void MakeEmptyUnlessWritten(const std::string& file, const std::vector<char>& written) {
    if (Platform::MAKE_FILE_THE_WRITER_DID_NOT && written[0] == '\0')
        std::ofstream(file, std::ios::out | std::ios::trunc);
}

} // namespace

ZymThread::CriticalSection ProcessDump::m_Lock(4000);

ProcessDump::ProcessDump(unsigned long threadId, const CONTEXT* context) noexcept
    : m_ThreadId(threadId), m_Context(context) {}

std::string ProcessDump::Write(const std::string& path) {
    ZymThread::CriticalSectionGuard guard(m_Lock);
    const std::string file = DumpPath(path, ".txt");
    std::vector<char> written(file.size() + 1);
    Platform::WriteReport(file.c_str(), m_ThreadId, m_Context, written.data(), written.size());
    MakeEmptyUnlessWritten(file, written);
    return file;
}

std::string WriteCoreDump(const std::string& path, bool full, const EXCEPTION_POINTERS* exception,
                          unsigned long threadId) {
    const std::string file = DumpPath(path, ".dmp");
    std::vector<char> written(file.size() + 1);
    Platform::WriteCoreFile(file.c_str(), full, exception, threadId, written.data(),
                            written.size());
    MakeEmptyUnlessWritten(file, written);
    return file;
}

} // namespace ZymWindows
