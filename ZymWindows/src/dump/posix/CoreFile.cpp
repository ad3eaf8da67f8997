#include "dump/DumpPlatform.h"
#include "dump/posix/HelperProcess.h"

#include <csignal>
#include <fcntl.h>
#include <ucontext.h>
#include <unistd.h>

namespace ZymWindows::Platform {

void WriteCoreFile(const std::string& path, bool full, const EXCEPTION_POINTERS* exception,
                   unsigned long failingThread) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0)
        return;
    DumpHelper::Request request{};
    request.magic = DumpHelper::REQUEST_MAGIC;
    request.job = full ? DumpHelper::Job::CORE_FULL : DumpHelper::Job::CORE;
    request.processId = getpid();
    if (exception != nullptr && exception->ContextRecord != nullptr) {
        request.failingThread = static_cast<std::int64_t>(failingThread);
        request.hasContext = 1;
        for (int i = 0; i < NGREG; ++i)
            request.registers[i] = exception->ContextRecord->uc_mcontext.gregs[i];
        if (exception->ExceptionRecord != nullptr)
            request.signal = static_cast<const siginfo_t*>(exception->ExceptionRecord)->si_signo;
    }
    HelperRun run;
    if (StartHelper(request, file, run))
        FinishHelper(run);
    close(file);
}

} // namespace ZymWindows::Platform
