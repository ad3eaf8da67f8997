#include "ZymThread/CriticalSection.h"

namespace ZymThread {

namespace {

bool IsSelf(const std::atomic<std::thread::id>& owner) noexcept {
    // Only the owning thread stores its own id there, so a relaxed look
    // tells reliably whether the caller is that thread.
    return owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

} // namespace

void CriticalSection::BecomeOwner() noexcept {
    m_Owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    m_Depth = 1;
}

bool CriticalSection::TryEnter() noexcept {
    if (IsSelf(m_Owner)) {
        ++m_Depth;
        return true;
    }
    if (!m_Mutex.try_lock())
        return false;
    BecomeOwner();
    return true;
}

void CriticalSection::Enter() noexcept {
    if (TryEnter())
        return;
    for (unsigned int spin = 0; spin < m_SpinCount; ++spin) {
        if (m_Mutex.try_lock()) {
            BecomeOwner();
            return;
        }
    }
    m_Mutex.lock();
    BecomeOwner();
}

void CriticalSection::Leave() noexcept {
    if (!IsSelf(m_Owner) || --m_Depth > 0)
        return;
    m_Owner.store(std::thread::id(), std::memory_order_relaxed);
    m_Mutex.unlock();
}

} // namespace ZymThread
