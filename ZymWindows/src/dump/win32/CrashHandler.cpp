#include <ZymWindows/ProcessDump.h>

#include "dump/DumpPlatform.h"
#include "dump/win32/CrashWriter.h"
#include "dump/win32/MiniDumpFile.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace ZymWindows {

namespace {

// How long the evidence of a crash may take before the process ends
// without the rest of it. It guards against a writer stuck on a lock that
// the crashed process holds; a working writer is slow only when the dump
// system is (Wine's dbghelp reads memory a kilobyte per server request).
constexpr DWORD WATCHDOG_MILLISECONDS = 120 * 1000;
// The writer's own stack, whatever is left of the crashed thread's: a
// stack overflow leaves the filter a few pages only.
constexpr SIZE_T WRITER_STACK_SIZE = 1024 * 1024;
// What the filter itself needs after a stack overflow in the thread that
// installed it.
constexpr ULONG FILTER_STACK_GUARANTEE = 64 * 1024;

std::mutex g_DestinationLock; // guards the two below
std::string g_Directory;
bool g_WriteCore = false;

// The thread whose crash is handled (0 while none is), and the thread
// writing its evidence.
std::atomic<DWORD> g_HandlingThread{0};
std::atomic<DWORD> g_WriterThread{0};

struct Crash {
    DWORD threadId;
    EXCEPTION_POINTERS* exception;
    std::string directory;
    bool core;
};

void PrintWritten(const char* label, const char* path) {
    if (path[0] == '\0')
        return;
    std::fprintf(stderr, "%s%s\n", label, path);
    std::fflush(stderr);
}

DWORD WINAPI WriteEvidence(void* argument) {
    const Crash& crash = *static_cast<const Crash*>(argument);
    char written[4 * MAX_PATH];
    Platform::WriteReport(crash.directory.c_str(), crash.threadId, crash.exception->ContextRecord,
                          written, sizeof written);
    PrintWritten("report: ", written);
    // The threads' stacks, the modules and the exception only, not the
    // whole memory that WriteCoreDump's types ask for: under Wine such a
    // dump takes minutes, longer than the watchdog allows. Without a
    // minidump writer the file stays empty and is not named.
    if (crash.core &&
        Platform::WriteMiniDumpFile(crash.directory.c_str(), MiniDumpNormal, crash.exception,
                                    crash.threadId, written, sizeof written))
        PrintWritten("core: ", written);
    return 0;
}

// Writes the evidence on a thread of its own and waits for it, at most the
// watchdog's time; then lets the crash end the process with its code.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    const DWORD self = ::GetCurrentThreadId();
    DWORD handling = 0;
    if (!g_HandlingThread.compare_exchange_strong(handling, self)) {
        if (self == g_WriterThread.load())
            ::ExitThread(1); // the writer crashed: the crashed thread goes on
        if (handling == self)
            return EXCEPTION_EXECUTE_HANDLER; // crashed again while reporting
        // Another thread's crash is being reported and ends the process.
        for (;;)
            ::Sleep(INFINITE);
    }
    Crash crash{self, exception, {}, false};
    {
        std::lock_guard guard(g_DestinationLock);
        crash.directory = g_Directory;
        crash.core = g_WriteCore;
    }
    DWORD writerId = 0;
    const HANDLE writer =
        ::CreateThread(nullptr, WRITER_STACK_SIZE, &WriteEvidence, &crash,
                       CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &writerId);
    if (writer == nullptr) {
        WriteEvidence(&crash);
        return EXCEPTION_EXECUTE_HANDLER;
    }
    g_WriterThread.store(writerId);
    ::ResumeThread(writer);
    ::WaitForSingleObject(writer, WATCHDOG_MILLISECONDS);
    ::CloseHandle(writer);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

namespace Platform {

unsigned long CrashWriterThread() noexcept {
    return g_WriterThread.load();
}

} // namespace Platform

void InstallCrashHandler(const std::string& directory, bool core) {
    // Ends with a directory separator (of the kind it has already), so
    // that every crash gets a file of its own in it.
    std::string destination = directory;
    if (!destination.empty() && destination.back() != '/' && destination.back() != '\\')
        destination.push_back(destination.find('\\') == std::string::npos &&
                                      destination.find('/') != std::string::npos
                                  ? '/'
                                  : '\\');
    {
        std::lock_guard guard(g_DestinationLock);
        g_Directory = destination;
        g_WriteCore = core;
    }
    ULONG guarantee = FILTER_STACK_GUARANTEE;
    ::SetThreadStackGuarantee(&guarantee);
    ::SetUnhandledExceptionFilter(&OnUnhandledException);
}

} // namespace ZymWindows
