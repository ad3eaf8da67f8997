#include <ZymWindows/ProcessDump.h>

#include "dump/DumpPlatform.h"
#include "dump/posix/CrashWatchdog.h"
#include "dump/posix/HelperProcess.h"
#include "dump/posix/HelperProtocol.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace ZymWindows {

namespace {

constexpr int FATAL_SIGNALS[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// The report is written on a stack of its own, big enough whatever stack
// the signal arrived on: an overflowed one, or an alternate stack that a
// sanitizer or the program set up small.
constexpr std::size_t REPORT_STACK_SIZE = 1024 * 1024;
// Room for the handler's first steps after a stack overflow.
constexpr std::size_t ALTERNATE_STACK_SIZE = 64 * 1024;

// Set up before any crash: the handler allocates nothing.
char g_Directory[DumpHelper::PATH_SIZE];
bool g_WriteCore = false;
void* g_ReportStack = nullptr;
std::atomic<unsigned> g_WatchdogSeconds{Platform::CRASH_WATCHDOG_SECONDS};
// The thread handling a crash; 0 while none is.
std::atomic<long> g_HandlingThread{0};

// The crash being handled, for the report's own stack.
struct Crash {
    unsigned long threadId;
    siginfo_t* info;
    const CONTEXT* context;
};
Crash g_Crash;
ucontext_t g_HandlerContext;
ucontext_t g_ReportContext;

void WriteText(const char* text) noexcept {
    std::size_t size = std::strlen(text);
    while (size > 0) {
        const ssize_t written = write(STDERR_FILENO, text, size);
        if (written <= 0)
            return;
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

void WriteLabelled(const char* label, const char* path) noexcept {
    WriteText(label);
    WriteText(path);
    WriteText("\n");
}

// Back to the default action, which ends the process at once: the signal
// is not blocked in this thread any more (see ArmWatchdog).
void EndWithDefaultAction(int signal) noexcept {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    syscall(SYS_tgkill, getpid(), gettid(), signal);
}

// Sends `signal` to this thread after the watchdog's time, and lets it in
// meanwhile: it then finds this thread in the handler and ends the process
// by the default action, wherever the report has got to. A kernel timer,
// so that nothing the process does (a lock held, a signal blocked, a
// helper that hangs) can hold it up.
void ArmWatchdog(int signal) noexcept {
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = signal;
    event._sigev_un._tid = gettid(); // sigev_notify_thread_id, which this glibc lacks
    int timer = 0;
    if (syscall(SYS_timer_create, CLOCK_MONOTONIC, &event, &timer) == 0) {
        itimerspec expiry{};
        expiry.it_value.tv_sec = static_cast<time_t>(g_WatchdogSeconds.load());
        syscall(SYS_timer_settime, timer, 0, &expiry, nullptr);
    }
    sigset_t own;
    sigemptyset(&own);
    sigaddset(&own, signal);
    pthread_sigmask(SIG_UNBLOCK, &own, nullptr);
}

void WriteEvidence() noexcept {
    char written[DumpHelper::PATH_SIZE];
    Platform::WriteReport(g_Directory, g_Crash.threadId, g_Crash.context, written, sizeof written);
    if (written[0] != '\0')
        WriteLabelled("report: ", written);
    if (g_WriteCore) {
        const EXCEPTION_POINTERS exception{g_Crash.info, g_Crash.context};
        Platform::WriteCoreFile(g_Directory, false, &exception, g_Crash.threadId, written,
                                sizeof written);
        if (written[0] != '\0')
            WriteLabelled("core: ", written);
    }
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
    const long self = gettid();
    long none = 0;
    if (!g_HandlingThread.compare_exchange_strong(none, self)) {
        if (none == self) {
            // The watchdog, or a crash while writing the report.
            Platform::AbandonHelper();
            EndWithDefaultAction(signal);
            return;
        }
        // Another thread writes the report and ends the process.
        for (;;)
            pause();
    }
    ArmWatchdog(signal);
    g_Crash = {static_cast<unsigned long>(self), info, static_cast<const CONTEXT*>(context)};
    if (getcontext(&g_ReportContext) == 0) {
        g_ReportContext.uc_stack.ss_sp = g_ReportStack;
        g_ReportContext.uc_stack.ss_size = REPORT_STACK_SIZE;
        g_ReportContext.uc_link = &g_HandlerContext;
        makecontext(&g_ReportContext, &WriteEvidence, 0);
        swapcontext(&g_HandlerContext, &g_ReportContext);
    }
    EndWithDefaultAction(signal);
}

// A stack of `size` bytes with an inaccessible page below it, so that
// running off its end faults instead of overwriting other memory.
void* MapStack(std::size_t size) {
    constexpr std::size_t GUARD = 4096;
    void* memory = mmap(nullptr, size + GUARD, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    mprotect(memory, GUARD, PROT_NONE);
    return static_cast<char*>(memory) + GUARD;
}

void SetUpAlternateStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0 &&
        current.ss_size >= ALTERNATE_STACK_SIZE)
        return;
    void* memory = MapStack(ALTERNATE_STACK_SIZE);
    if (memory == nullptr)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = ALTERNATE_STACK_SIZE;
    sigaltstack(&stack, nullptr);
}

} // namespace

namespace Platform {

void SetCrashWatchdogSeconds(unsigned seconds) noexcept {
    g_WatchdogSeconds.store(seconds);
}

} // namespace Platform

void InstallCrashHandler(const std::string& directory, bool core) {
    // Ends with a directory separator, so that every crash gets a file of
    // its own in it.
    std::string destination = directory;
    if (!destination.empty() && destination.back() != '/' && destination.back() != '\\')
        destination.push_back('/');
    if (destination.size() >= sizeof g_Directory)
        return; // too long to pass to the helper: no handler rather than a wrong one
    std::memcpy(g_Directory, destination.c_str(), destination.size() + 1);
    g_WriteCore = core;
    if (g_ReportStack == nullptr)
        g_ReportStack = MapStack(REPORT_STACK_SIZE);
    if (g_ReportStack == nullptr)
        return; // no handler rather than one that cannot write
    SetUpAlternateStack();
    struct sigaction action {};
    action.sa_sigaction = &OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : FATAL_SIGNALS)
        sigaction(signal, &action, nullptr);
}

} // namespace ZymWindows
