#include "ReportWriter.h"

#include "ProcessValues.h"
#include "Walk.h"

#include "dump/ReportLayout.h"

#include <fstream>

namespace ZymDumpHelper {

namespace {

// The framework's name of a thread, else the kernel's (15 bytes at most).
std::string ThreadName(pid_t processId, pid_t threadId, const ThreadNames& names) {
    if (const auto found = names.find(threadId); found != names.end())
        return found->second;
    std::ifstream comm("/proc/" + std::to_string(processId) + "/task/" + std::to_string(threadId) +
                       "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

bool WriteReport(Tracee& tracee, ProcessMemory& memory,
                 const ZymWindows::DumpHelper::Request& request, const ThreadNames& names,
                 std::ostream& report) {
    namespace Dump = ZymWindows::Dump;
    Dump::WriteHeader(report, ProcessHeader(tracee.ProcessId(), request));
    StackWalker walker(tracee, memory);
    for (TracedThread& thread : tracee.Threads()) {
        const bool stopped = tracee.Stop(thread);
        if (thread.gone)
            continue;
        Dump::WriteThreadHead(report, static_cast<unsigned long>(thread.threadId),
                              ThreadName(tracee.ProcessId(), thread.threadId, names),
                              thread.failing);
        if (stopped)
            walker.Walk(thread, report);
        tracee.Release(thread);
        Dump::WriteThreadEnd(report);
    }
    return report.good();
}

} // namespace ZymDumpHelper
