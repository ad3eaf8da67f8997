#pragma once

#include <vector>
#include <windows.h>

namespace ZymWindows::Platform {

// Another thread's registers and its stack from the stack pointer up,
// copied while the thread was suspended. Walking a stack allocates
// (symbols, modules), and a thread held while it owns the heap's lock
// would then block the walk for good; so the thread is held only for the
// copy, which allocates nothing, and the walk reads the copy.
class StackSnapshot {
public:
    // False when the thread could not be suspended or read.
    bool Take(HANDLE thread);

    const CONTEXT& Context() const noexcept { return m_Context; }

    // A read routine for StackWalk64: stack bytes from the snapshot being
    // walked on this thread (see Walking), anything else from the process.
    static BOOL CALLBACK ReadMemory(HANDLE process, DWORD64 address, void* buffer, DWORD size,
                                    DWORD* read);

    // Makes `snapshot` the one ReadMemory reads on this thread for the
    // scope.
    class Walking {
    public:
        explicit Walking(const StackSnapshot& snapshot) noexcept;
        ~Walking();
        Walking(const Walking&) = delete;
        Walking& operator=(const Walking&) = delete;
    };

private:
    // One suspension: copies the stack if the buffer is big enough, else
    // says how big it must be. False when the thread could not be read.
    bool CopyWhileSuspended(HANDLE thread, std::size_t& needed);

    CONTEXT m_Context{};
    DWORD64 m_Start = 0; // the stack address of m_Bytes[0]
    std::vector<unsigned char> m_Bytes;
};

} // namespace ZymWindows::Platform
