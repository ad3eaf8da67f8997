#pragma once

#include <Zym/Export.h>

#include <atomic>

namespace Zym {

// A thread-safe counter for intrusive reference counts.
class ZYM_EXPORT InterlockedCounter {
public:
    explicit InterlockedCounter(long initial = 0) noexcept : m_Value(initial) {}
    InterlockedCounter(const InterlockedCounter&) = delete;
    InterlockedCounter& operator=(const InterlockedCounter&) = delete;

    long Increment() noexcept { return m_Value.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Acquire-release so that the thread deleting the object sees every write
    // made by the threads that released it before.
    long Decrement() noexcept { return m_Value.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    long Get() const noexcept { return m_Value.load(std::memory_order_acquire); }

private:
    std::atomic<long> m_Value;
};

// Base of every shared object: counts from 0, the last Release deletes.
// A copy of a counted object starts with a count of its own.
class ZYM_EXPORT SPRefCounter {
public:
    long AddRef() const noexcept { return m_RefCount.Increment(); }
    long Release() const noexcept {
        const long left = m_RefCount.Decrement();
        if (left == 0)
            delete this;
        return left;
    }
    long NbRef() const noexcept { return m_RefCount.Get(); }

protected:
    SPRefCounter() noexcept = default;
    SPRefCounter(const SPRefCounter&) noexcept {}
    SPRefCounter& operator=(const SPRefCounter&) noexcept { return *this; }
    virtual ~SPRefCounter() = default;

private:
    mutable InterlockedCounter m_RefCount;
};

} // namespace Zym
