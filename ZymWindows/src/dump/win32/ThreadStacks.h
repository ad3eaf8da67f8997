#pragma once

#include <ostream>
#include <vector>
#include <windows.h>

namespace ZymWindows::Platform {

// The ids of this process's threads, in the order of a Toolhelp snapshot;
// none when the snapshot fails.
std::vector<DWORD> ProcessThreadIds();

// dbghelp's symbol handler for this process, from construction to
// destruction; modules are loaded as the stack walks meet them.
class SymbolSession {
public:
    SymbolSession();
    ~SymbolSession();
    SymbolSession(const SymbolSession&) = delete;
    SymbolSession& operator=(const SymbolSession&) = delete;

    // Writes the section of the thread `threadId`: walked from `context`
    // and marked failing when that is given, else from its own registers
    // as they are now, the thread running on (the calling thread's are
    // captured). A thread that cannot be opened is left out.
    void WriteThread(std::ostream& stream, DWORD threadId, const CONTEXT* context) const;

private:
    HANDLE m_Process;
};

} // namespace ZymWindows::Platform
