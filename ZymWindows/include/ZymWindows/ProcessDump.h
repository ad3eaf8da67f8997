#pragma once

#include <ZymWindows/Export.h>

#include <ZymThread/CriticalSection.h>

#include <cstdint>
#include <string>

#ifdef _WIN32
struct _CONTEXT;
struct _EXCEPTION_POINTERS;
namespace ZymWindows {
using CONTEXT = ::_CONTEXT;
using EXCEPTION_POINTERS = ::_EXCEPTION_POINTERS;
} // namespace ZymWindows
#else
struct ucontext_t;
namespace ZymWindows {
// A thread's saved registers: the context a fatal signal's handler gets.
using CONTEXT = ::ucontext_t;
// What a fatal signal's handler gets: its siginfo_t and the interrupted
// thread's context.
struct ZYMWINDOWS_EXPORT EXCEPTION_POINTERS {
    const void* ExceptionRecord;
    const CONTEXT* ContextRecord;
};
} // namespace ZymWindows
#endif

namespace ZymWindows {

// A text report of the machine, the process and the call stack of every
// thread, the failing one marked. Nothing here raises: what cannot be
// learnt is left out or written as "*unknown*".
class ZYMWINDOWS_EXPORT ProcessDump {
public:
    // One stack frame's symbol information.
    struct FunctionInfo {
        std::string ModuleName; // file name of the module, empty if unknown
        std::string FunctionName;
        std::string SourceFile;             // empty if unknown
        unsigned long Line = 0;             // 0 if unknown
        std::uintptr_t FunctionAddress = 0; // an address on every platform
    };

    // `threadId` is the failing thread's system id and `context` its saved
    // registers (not owned); that thread is walked from the context and
    // marked. Without a context no thread is marked.
    explicit ProcessDump(unsigned long threadId = 0, const CONTEXT* context = nullptr) noexcept;

    // Writes the report to `path`, or, when `path` is empty or ends in "/"
    // or "\", to a file named after the executable and the local time in
    // that directory, with the extension ".txt". Returns the path used.
    std::string Write(const std::string& path);

private:
    static ZymThread::CriticalSection m_Lock;

    unsigned long m_ThreadId;
    const CONTEXT* m_Context;
};

// Writes a core file of the running process (every thread, the writable
// memory; with `full` the read-only file mappings too). `exception` and
// `threadId` name the failing thread, whose registers are taken from the
// exception's context. Path naming as for ProcessDump::Write, extension
// ".dmp"; without a core writer the file is created empty. Returns the path.
ZYMWINDOWS_EXPORT std::string WriteCoreDump(const std::string& path, bool full,
                                            const EXCEPTION_POINTERS* exception,
                                            unsigned long threadId);

// Installs a handler for crashes that writes a report into `directory`
// (and a core file with `core`), prints "report: PATH" (and "core: PATH")
// on stderr for each file written and lets the crash end the process as it
// would have without the handler, whatever happens meanwhile within half a
// minute on Linux and two minutes on Windows. Calling it again replaces
// the destination.
// On Linux it handles the fatal signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE,
// SIGABRT); the calling thread gets an alternate signal stack, so that a
// stack overflow there is reported too (framework threads have one of
// their own). On Windows it is the process's unhandled-exception filter,
// and the process ends with the exception's code as its exit code.
ZYMWINDOWS_EXPORT void InstallCrashHandler(const std::string& directory, bool core);

} // namespace ZymWindows
