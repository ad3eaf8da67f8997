#include "AlternateSignalStack.h"

#include <csignal>
#include <sys/mman.h>

namespace ZymThread {

namespace {

// An inaccessible page below the stack: running off its end faults
// instead of overwriting other memory.
constexpr std::size_t GUARD = 4096;

} // namespace

AlternateSignalStack::AlternateSignalStack() noexcept {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0 &&
        current.ss_size >= SIZE)
        return;
    void* mapping = mmap(nullptr, GUARD + SIZE, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED)
        return;
    mprotect(mapping, GUARD, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + GUARD;
    stack.ss_size = SIZE;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(mapping, GUARD + SIZE);
        return;
    }
    m_Mapping = mapping;
}

AlternateSignalStack::~AlternateSignalStack() {
    if (m_Mapping == nullptr)
        return;
    stack_t disable{};
    disable.ss_flags = SS_DISABLE;
    sigaltstack(&disable, nullptr);
    munmap(m_Mapping, GUARD + SIZE);
}

} // namespace ZymThread
