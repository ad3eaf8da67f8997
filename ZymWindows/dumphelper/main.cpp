// The dump helper: started by a process of the library that wants its own
// threads' stacks or a core file of itself, which a process cannot take of
// itself under ptrace. Reads one request on its standard input and answers
// on its standard output (see HelperProtocol.h).
#include "CoreWriter.h"
#include "ProcessMemory.h"
#include "Tracee.h"
#include "Walk.h"

#include <cerrno>
#include <unistd.h>

namespace {

bool ReadRequest(ZymWindows::DumpHelper::Request& request) {
    auto* bytes = reinterpret_cast<char*>(&request);
    std::size_t done = 0;
    while (done < sizeof request) {
        const ssize_t got = read(STDIN_FILENO, bytes + done, sizeof request - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return request.magic == ZymWindows::DumpHelper::REQUEST_MAGIC;
}

bool WriteAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

int main() {
    using ZymWindows::DumpHelper::Job;
    ZymWindows::DumpHelper::Request request{};
    if (!ReadRequest(request))
        return 2;
    // A thread that never stops must not hang the crashing process: when
    // the helper dies, the kernel lets the stopped threads go.
    alarm(60);
    ZymDumpHelper::Tracee tracee(request);
    ZymDumpHelper::ProcessMemory memory(tracee.ProcessId());
    if (request.job == Job::WALK) {
        const std::string walk = ZymDumpHelper::WalkThreads(tracee, memory);
        // Let the threads go before the output, which the process reads
        // only once the helper has finished with them.
        tracee.DetachAll();
        return WriteAll(walk) ? 0 : 1;
    }
    if (request.job == Job::CORE || request.job == Job::CORE_FULL)
        return ZymDumpHelper::WriteCore(tracee, memory, request, STDOUT_FILENO) ? 0 : 1;
    return 2;
}
