#pragma once

#include "ProcessMemory.h"
#include "Tracee.h"

#include <elfutils/libdwfl.h>
#include <memory>
#include <ostream>

namespace ZymDumpHelper {

// Walks the call stacks of a tracee's stopped threads with libdwfl.
class StackWalker {
public:
    StackWalker(Tracee& tracee, ProcessMemory& memory);
    ~StackWalker();
    StackWalker(const StackWalker&) = delete;
    StackWalker& operator=(const StackWalker&) = delete;

    // Writes the frames of the stopped `thread`, innermost first, as the
    // report's frame lines, each as soon as it is found; the number of
    // frames found.
    unsigned Walk(TracedThread& thread, std::ostream& stream);

    struct State;

private:
    std::unique_ptr<State> m_State;
    Dwfl* m_Dwfl = nullptr;
    bool m_Attached = false;
};

} // namespace ZymDumpHelper
