#include "Tracee.h"

#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/ptrace.h>
#include <sys/ucontext.h>
#include <sys/wait.h>

namespace ZymDumpHelper {

namespace {

std::vector<pid_t> ListThreads(pid_t processId) {
    std::vector<pid_t> threads;
    DIR* tasks = opendir(("/proc/" + std::to_string(processId) + "/task").c_str());
    if (tasks == nullptr)
        return threads;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.')
            threads.push_back(static_cast<pid_t>(std::stol(entry->d_name)));
    }
    closedir(tasks);
    return threads;
}

void ApplyContext(user_regs_struct& r, const std::int64_t* g) {
    auto u = [g](int index) { return static_cast<unsigned long long>(g[index]); };
    r.r8 = u(REG_R8);
    r.r9 = u(REG_R9);
    r.r10 = u(REG_R10);
    r.r11 = u(REG_R11);
    r.r12 = u(REG_R12);
    r.r13 = u(REG_R13);
    r.r14 = u(REG_R14);
    r.r15 = u(REG_R15);
    r.rdi = u(REG_RDI);
    r.rsi = u(REG_RSI);
    r.rbp = u(REG_RBP);
    r.rbx = u(REG_RBX);
    r.rdx = u(REG_RDX);
    r.rax = u(REG_RAX);
    r.rcx = u(REG_RCX);
    r.rsp = u(REG_RSP);
    r.rip = u(REG_RIP);
    r.eflags = u(REG_EFL);
    r.orig_rax = ~0ULL;
}

} // namespace

Tracee::Tracee(const ZymWindows::DumpHelper::Request& request)
    : m_ProcessId(static_cast<pid_t>(request.processId)) {
    for (pid_t threadId : ListThreads(m_ProcessId)) {
        TracedThread& thread = m_Threads.emplace_back();
        thread.threadId = threadId;
        Attach(thread);
        if (thread.hasRegisters && request.hasContext != 0 && threadId == request.failingThread)
            ApplyContext(thread.registers, request.registers);
    }
}

Tracee::~Tracee() {
    DetachAll();
}

void Tracee::Attach(TracedThread& thread) {
    const pid_t id = thread.threadId;
    if (ptrace(PTRACE_SEIZE, id, nullptr, nullptr) != 0) {
        thread.gone = errno == ESRCH;
        return;
    }
    thread.attached = true;
    if (ptrace(PTRACE_INTERRUPT, id, nullptr, nullptr) != 0) {
        thread.gone = errno == ESRCH;
        return;
    }
    for (;;) {
        int status = 0;
        const pid_t got = waitpid(id, &status, __WALL);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || WIFEXITED(status) || WIFSIGNALED(status)) {
            thread.attached = false;
            thread.gone = true;
            return;
        }
        if (!WIFSTOPPED(status))
            continue;
        // A signal on its way in stops the thread first; it is handed
        // back when the thread is let go.
        if ((status >> 16) == 0 && WSTOPSIG(status) != SIGTRAP)
            thread.pendingSignal = WSTOPSIG(status);
        break;
    }
    thread.hasRegisters = ptrace(PTRACE_GETREGS, id, nullptr, &thread.registers) == 0;
    ptrace(PTRACE_GETFPREGS, id, nullptr, &thread.fpRegisters);
}

void Tracee::DetachAll() {
    for (TracedThread& thread : m_Threads) {
        if (!thread.attached)
            continue;
        ptrace(PTRACE_DETACH, thread.threadId, nullptr,
               reinterpret_cast<void*>(static_cast<long>(thread.pendingSignal)));
        thread.attached = false;
    }
}

} // namespace ZymDumpHelper
