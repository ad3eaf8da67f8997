#pragma once

#include <Zym/Export.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace ZymThread {

// A recursive lock: the owning thread may enter again, and leaves as often
// as it entered. A thread that finds it taken spins `spinCount` times
// before it sleeps, which pays off for locks held only briefly.
class ZYM_EXPORT CriticalSection {
public:
    explicit CriticalSection(unsigned int spinCount = 4000) noexcept : m_SpinCount(spinCount) {}
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() noexcept;
    // False without waiting when another thread owns the lock.
    bool TryEnter() noexcept;
    // Leaving a section that the calling thread does not own does nothing.
    void Leave() noexcept;

    // Standard lockable names, for std::lock_guard and std::scoped_lock.
    void lock() noexcept { Enter(); }
    bool try_lock() noexcept { return TryEnter(); }
    void unlock() noexcept { Leave(); }

private:
    void BecomeOwner() noexcept;

    const unsigned int m_SpinCount;
    std::mutex m_Mutex;
    std::atomic<std::thread::id> m_Owner{};
    unsigned int m_Depth = 0; // only the owner touches it
};

// Holds a critical section for a scope.
class ZYM_EXPORT CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& section) noexcept : m_Section(section) {
        m_Section.Enter();
    }
    ~CriticalSectionGuard() { m_Section.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& m_Section;
};

} // namespace ZymThread
