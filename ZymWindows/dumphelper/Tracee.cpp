#include "Tracee.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
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

timespec ToTimespec(std::chrono::nanoseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((duration - seconds).count())};
}

} // namespace

Tracee::Tracee(const ZymWindows::DumpHelper::Request& request)
    : m_Request(request), m_ProcessId(static_cast<pid_t>(request.processId)) {
    for (pid_t threadId : ListThreads(m_ProcessId)) {
        TracedThread& thread = m_Threads.emplace_back();
        thread.threadId = threadId;
        thread.failing = request.hasContext != 0 && threadId == request.failingThread;
    }
    std::stable_partition(m_Threads.begin(), m_Threads.end(),
                          [](const TracedThread& thread) { return thread.failing; });
}

Tracee::~Tracee() {
    ReleaseAll();
}

bool Tracee::Stop(TracedThread& thread) {
    const pid_t id = thread.threadId;
    if (ptrace(PTRACE_SEIZE, id, nullptr, nullptr) != 0) {
        thread.gone = errno == ESRCH;
        return false;
    }
    thread.attached = true;
    if (ptrace(PTRACE_INTERRUPT, id, nullptr, nullptr) != 0) {
        thread.gone = errno == ESRCH;
        return false;
    }
    if (!WaitForStop(thread))
        return false;
    thread.stopped = true;
    thread.hasRegisters = ptrace(PTRACE_GETREGS, id, nullptr, &thread.registers) == 0;
    ptrace(PTRACE_GETFPREGS, id, nullptr, &thread.fpRegisters);
    if (thread.hasRegisters && thread.failing)
        ApplyContext(thread.registers, m_Request.registers);
    return thread.hasRegisters;
}

// SIGCHLD, which the kernel sends when a tracee stops, is blocked in the
// helper, so it stays pending until sigtimedwait takes it: a stop between
// the look and the wait is not missed.
bool Tracee::WaitForStop(TracedThread& thread) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + STOP_LIMIT;
    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    for (;;) {
        int status = 0;
        const pid_t got = waitpid(thread.threadId, &status, __WALL | WNOHANG);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || (got > 0 && (WIFEXITED(status) || WIFSIGNALED(status)))) {
            thread.attached = false;
            thread.gone = true;
            return false;
        }
        if (got > 0 && WIFSTOPPED(status)) {
            // A signal on its way in stops the thread first; it is handed
            // back when the thread is let go.
            if ((status >> 16) == 0 && WSTOPSIG(status) != SIGTRAP)
                thread.pendingSignal = WSTOPSIG(status);
            return true;
        }
        const Clock::duration left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return false; // still seized: let go when the helper ends
        const timespec wait = ToTimespec(left);
        sigtimedwait(&childSignal, nullptr, &wait);
    }
}

void Tracee::Release(TracedThread& thread) {
    if (!thread.stopped)
        return;
    ptrace(PTRACE_DETACH, thread.threadId, nullptr,
           reinterpret_cast<void*>(static_cast<long>(thread.pendingSignal)));
    thread.stopped = false;
    thread.attached = false;
}

void Tracee::ReleaseAll() {
    for (TracedThread& thread : m_Threads)
        Release(thread);
}

} // namespace ZymDumpHelper
