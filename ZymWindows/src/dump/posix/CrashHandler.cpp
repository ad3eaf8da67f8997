#include <ZymWindows/ProcessDump.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace ZymWindows {

namespace {

constexpr int FATAL_SIGNALS[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// Big enough for writing the report on it, stack overflow or not.
constexpr std::size_t ALTERNATE_STACK_SIZE = 1024 * 1024;

// Set up before any crash: the handler must not allocate its destination.
std::string* g_Directory = nullptr;
bool g_WriteCore = false;
// The thread handling a crash; 0 while none is.
std::atomic<long> g_HandlingThread{0};

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

void WriteLabelled(const char* label, const std::string& path) noexcept {
    WriteText(label);
    WriteText(path.c_str());
    WriteText("\n");
}

// Back to the default action, which ends the process once the handler
// returns: a fault strikes again, a sent signal is still pending.
void EndWithDefaultAction(int signal) noexcept {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    syscall(SYS_tgkill, getpid(), gettid(), signal);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
    const long self = gettid();
    long none = 0;
    if (!g_HandlingThread.compare_exchange_strong(none, self)) {
        if (none == self) {
            // Crashed while writing the report.
            EndWithDefaultAction(signal);
            return;
        }
        // Another thread writes the report and ends the process.
        for (;;)
            pause();
    }
    const auto* threadContext = static_cast<const CONTEXT*>(context);
    const auto threadId = static_cast<unsigned long>(self);
    ProcessDump dump(threadId, threadContext);
    WriteLabelled("report: ", dump.Write(*g_Directory));
    if (g_WriteCore) {
        const EXCEPTION_POINTERS exception{info, threadContext};
        WriteLabelled("core: ", WriteCoreDump(*g_Directory, false, &exception, threadId));
    }
    EndWithDefaultAction(signal);
}

void SetUpAlternateStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0 &&
        current.ss_size >= ALTERNATE_STACK_SIZE)
        return;
    void* memory = mmap(nullptr, ALTERNATE_STACK_SIZE, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = ALTERNATE_STACK_SIZE;
    if (sigaltstack(&stack, nullptr) != 0)
        munmap(memory, ALTERNATE_STACK_SIZE);
}

} // namespace

void InstallCrashHandler(const std::string& directory, bool core) {
    std::string* destination = new std::string(directory);
    // Ends with a directory separator, so that every crash gets a file of
    // its own in it.
    if (!destination->empty() && destination->back() != '/' && destination->back() != '\\')
        destination->push_back('/');
    delete std::exchange(g_Directory, destination);
    g_WriteCore = core;
    SetUpAlternateStack();
    struct sigaction action {};
    action.sa_sigaction = &OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : FATAL_SIGNALS)
        sigaction(signal, &action, nullptr);
}

} // namespace ZymWindows
