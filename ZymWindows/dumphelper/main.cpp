// The dump helper: started by a process of the library that wants a crash
// report or a core file of itself, which a process cannot take of itself
// under ptrace. Reads one request on its standard input and answers on its
// standard output (see HelperProtocol.h).
#include "CoreWriter.h"
#include "ProcessMemory.h"
#include "ProcessValues.h"
#include "ReportWriter.h"
#include "Tracee.h"

#include "dump/DumpFileName.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {

using ZymWindows::DumpHelper::Job;
using ZymWindows::DumpHelper::Request;

bool ReadAll(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(STDIN_FILENO, bytes + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool ReadRequest(Request& request, ZymDumpHelper::ThreadNames& names) {
    if (!ReadAll(&request, sizeof request) ||
        request.magic != ZymWindows::DumpHelper::REQUEST_MAGIC)
        return false;
    request.timeZone[sizeof request.timeZone - 1] = '\0';
    request.path[sizeof request.path - 1] = '\0';
    for (;;) {
        ZymWindows::DumpHelper::NameRecord record{};
        if (!ReadAll(&record, sizeof record) || record.length >= ZymWindows::DumpHelper::NAME_SIZE)
            return false;
        if (record.threadId == 0)
            return true;
        std::string name(record.length, '\0');
        if (!ReadAll(name.data(), name.size()))
            return false;
        names[static_cast<pid_t>(record.threadId)] = std::move(name);
    }
}

// Tells the process which file it got.
void Announce(const std::string& path) {
    const std::string line = "P " + path + "\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t written = write(STDOUT_FILENO, line.data() + done, line.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

int WriteReport(const Request& request, const ZymDumpHelper::ThreadNames& names,
                const std::string& path) {
    std::ofstream report(path, std::ios::out | std::ios::trunc);
    if (!report)
        return 1;
    Announce(path);
    ZymDumpHelper::Tracee tracee(request);
    ZymDumpHelper::ProcessMemory memory(tracee.ProcessId());
    return ZymDumpHelper::WriteReport(tracee, memory, request, names, report) ? 0 : 1;
}

int WriteCore(const Request& request, const std::string& path) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0)
        return 1;
    Announce(path);
    ZymDumpHelper::Tracee tracee(request);
    for (ZymDumpHelper::TracedThread& thread : tracee.Threads())
        tracee.Stop(thread);
    ZymDumpHelper::ProcessMemory memory(tracee.ProcessId());
    const bool written = ZymDumpHelper::WriteCore(tracee, memory, request, file);
    tracee.ReleaseAll();
    return close(file) == 0 && written ? 0 : 1;
}

} // namespace

int main() {
    // Tracee::Stop waits for SIGCHLD, which must stay pending until then.
    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    sigprocmask(SIG_BLOCK, &childSignal, nullptr);

    Request request{};
    ZymDumpHelper::ThreadNames names;
    if (!ReadRequest(request, names))
        return 2;
    // Local times in the process's time zone, not the helper's default.
    if (request.timeZone[0] != '\0')
        setenv("TZ", request.timeZone, 1);
    const bool core = request.job == Job::CORE || request.job == Job::CORE_FULL;
    if (!core && request.job != Job::REPORT)
        return 2;
    const std::string path = ZymWindows::Dump::ResolveDumpPath(
        request.path, ZymDumpHelper::ExecutablePath(static_cast<pid_t>(request.processId)),
        ZymWindows::Dump::Now(), core ? ".dmp" : ".txt");
    return core ? WriteCore(request, path) : WriteReport(request, names, path);
}
