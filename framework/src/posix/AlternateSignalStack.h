#pragma once

#include <cstddef>

namespace ZymThread {

// A signal stack for the calling thread while the object lives, so that a
// fatal-signal handler can still run when the thread's own stack has
// overflowed. A thread that already has one at least as big keeps it.
class AlternateSignalStack {
public:
    AlternateSignalStack() noexcept;
    ~AlternateSignalStack();
    AlternateSignalStack(const AlternateSignalStack&) = delete;
    AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

    static constexpr std::size_t SIZE = 64 * 1024;

private:
    void* m_Mapping = nullptr;
};

} // namespace ZymThread
