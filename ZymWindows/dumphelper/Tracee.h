#pragma once

#include "dump/posix/HelperProtocol.h"

#include <chrono>
#include <sys/types.h>
#include <sys/user.h>
#include <vector>

namespace ZymDumpHelper {

struct TracedThread {
    pid_t threadId = 0;
    bool failing = false;
    bool gone = false;     // ended before it could be stopped
    bool attached = false; // under ptrace (stopped, unless it did not stop in time)
    bool stopped = false;
    bool hasRegisters = false;
    int pendingSignal = 0; // stopped on its way to this signal: given back on release
    user_regs_struct registers{};
    user_fpregs_struct fpRegisters{};
};

// The threads of a process, the failing one first, then in /proc order,
// each stopped under ptrace on demand and let go again. A thread that does
// not stop within the limit (one blocked in vfork, say) is given up: only
// its own stack goes missing. The failing thread's general registers are
// the ones of the request's context rather than where it stands now.
class Tracee {
public:
    // Lists the threads; stops none. Stop needs SIGCHLD blocked.
    explicit Tracee(const ZymWindows::DumpHelper::Request& request);
    ~Tracee();
    Tracee(const Tracee&) = delete;
    Tracee& operator=(const Tracee&) = delete;

    static constexpr std::chrono::milliseconds STOP_LIMIT{2000};

    pid_t ProcessId() const { return m_ProcessId; }
    std::vector<TracedThread>& Threads() { return m_Threads; }
    // True when the thread is stopped with its registers read.
    bool Stop(TracedThread& thread);
    // Lets the thread go on.
    void Release(TracedThread& thread);
    void ReleaseAll();

private:
    bool WaitForStop(TracedThread& thread);

    const ZymWindows::DumpHelper::Request& m_Request;
    pid_t m_ProcessId;
    std::vector<TracedThread> m_Threads;
};

} // namespace ZymDumpHelper
