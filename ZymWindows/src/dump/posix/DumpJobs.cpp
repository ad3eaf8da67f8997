#include "dump/DumpPlatform.h"
#include "dump/posix/HelperProcess.h"

#include <ZymMem/MemoryPool.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ucontext.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

void CopyText(char* target, std::size_t size, const char* text) noexcept {
    const std::size_t length = text != nullptr ? strnlen(text, size - 1) : 0;
    std::memcpy(target, text != nullptr ? text : "", length);
    target[length] = '\0';
}

// Everything the helper needs to know of this process for `job`; false
// when `path` is too long to pass.
bool FillRequest(DumpHelper::Job job, const char* path, unsigned long failingThread,
                 const CONTEXT* context, DumpHelper::Request& request) noexcept {
    if (strnlen(path, DumpHelper::PATH_SIZE) == DumpHelper::PATH_SIZE)
        return false;
    std::memset(&request, 0, sizeof request);
    request.magic = DumpHelper::REQUEST_MAGIC;
    request.job = job;
    request.processId = getpid();
    if (context != nullptr) {
        request.failingThread = static_cast<std::int64_t>(failingThread);
        request.hasContext = 1;
        static_assert(NGREG == DumpHelper::CONTEXT_REGISTERS);
        for (int i = 0; i < NGREG; ++i)
            request.registers[i] = context->uc_mcontext.gregs[i];
    }
    std::size_t current = 0;
    std::size_t peak = 0;
    ZymMem::ZymGetMemoryAllocated(current, peak);
    request.memoryCurrent = current;
    request.memoryPeak = peak;
    // The helper starts with an empty environment: local times are the
    // process's only with its time zone.
    CopyText(request.timeZone, sizeof request.timeZone, std::getenv("TZ"));
    CopyText(request.path, sizeof request.path, path);
    return true;
}

} // namespace

// The helper may not start (when it is missing, say).
const bool MAKE_FILE_THE_WRITER_DID_NOT = true;

bool WriteReport(const char* path, unsigned long failingThread, const CONTEXT* context,
                 char* written, std::size_t size) noexcept {
    DumpHelper::Request request;
    if (size > 0)
        written[0] = '\0';
    return FillRequest(DumpHelper::Job::REPORT, path, failingThread, context, request) &&
           RunHelper(request, written, size);
}

bool WriteCoreFile(const char* path, bool full, const EXCEPTION_POINTERS* exception,
                   unsigned long failingThread, char* written, std::size_t size) noexcept {
    const CONTEXT* context = exception != nullptr ? exception->ContextRecord : nullptr;
    DumpHelper::Request request;
    if (size > 0)
        written[0] = '\0';
    if (!FillRequest(full ? DumpHelper::Job::CORE_FULL : DumpHelper::Job::CORE, path, failingThread,
                     context, request))
        return false;
    if (context != nullptr && exception->ExceptionRecord != nullptr)
        request.signal = static_cast<const siginfo_t*>(exception->ExceptionRecord)->si_signo;
    return RunHelper(request, written, size);
}

} // namespace ZymWindows::Platform
