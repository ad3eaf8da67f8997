#pragma once

#include "dump/posix/HelperProtocol.h"

#include <sys/types.h>
#include <sys/user.h>
#include <vector>

namespace ZymDumpHelper {

struct TracedThread {
    pid_t threadId = 0;
    bool gone = false;     // ended before it could be stopped
    bool attached = false; // stopped under ptrace now
    bool hasRegisters = false;
    int pendingSignal = 0; // stopped on its way to this signal: given back on detach
    user_regs_struct registers{};
    user_fpregs_struct fpRegisters{};
};

// Every thread of a process, stopped under ptrace for as long as the
// object lives, in /proc order. The failing thread's general registers are
// the ones of the request's context rather than where it stands now.
class Tracee {
public:
    explicit Tracee(const ZymWindows::DumpHelper::Request& request);
    ~Tracee();
    Tracee(const Tracee&) = delete;
    Tracee& operator=(const Tracee&) = delete;

    pid_t ProcessId() const { return m_ProcessId; }
    std::vector<TracedThread>& Threads() { return m_Threads; }
    // Lets every thread go on; the destructor does it otherwise.
    void DetachAll();

private:
    void Attach(TracedThread& thread);

    pid_t m_ProcessId;
    std::vector<TracedThread> m_Threads;
};

} // namespace ZymDumpHelper
