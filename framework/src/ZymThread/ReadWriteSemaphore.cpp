#include "ZymThread/ReadWriteSemaphore.h"

#include <algorithm>

namespace ZymThread {

unsigned int& ReadWriteSemaphore::ReadHoldsOf(std::thread::id thread) {
    const auto found = std::find_if(m_ReadHolds.begin(), m_ReadHolds.end(),
                                    [&](const auto& entry) { return entry.first == thread; });
    if (found != m_ReadHolds.end())
        return found->second;
    return m_ReadHolds.emplace_back(thread, 0U).second;
}

void ReadWriteSemaphore::ForgetIfNoReadHolds(std::thread::id thread) {
    const auto found = std::find_if(m_ReadHolds.begin(), m_ReadHolds.end(),
                                    [&](const auto& entry) { return entry.first == thread; });
    if (found != m_ReadHolds.end() && found->second == 0) {
        *found = m_ReadHolds.back();
        m_ReadHolds.pop_back();
    }
}

void ReadWriteSemaphore::ReadLock() {
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(m_Lock);
    unsigned int& holds = ReadHoldsOf(self);
    if (m_Writer == self) {
        // Counted against writers only once the write lock is left.
        ++holds;
        return;
    }
    if (holds == 0)
        m_Changed.wait(guard, [&] { return m_WriteDepth == 0 && m_WaitingWriters == 0; });
    // The list may have moved while waiting.
    ++ReadHoldsOf(self);
    ++m_BlockingReads;
}

void ReadWriteSemaphore::ReadUnlock() {
    const auto self = std::this_thread::get_id();
    std::lock_guard guard(m_Lock);
    unsigned int& holds = ReadHoldsOf(self);
    if (holds == 0) {
        ForgetIfNoReadHolds(self);
        return;
    }
    --holds;
    ForgetIfNoReadHolds(self);
    if (m_Writer != self && --m_BlockingReads == 0)
        m_Changed.notify_all();
}

void ReadWriteSemaphore::WriteLock() {
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(m_Lock);
    if (m_Writer == self) {
        ++m_WriteDepth;
        return;
    }
    const unsigned int ownReads = ReadHoldsOf(self);
    ForgetIfNoReadHolds(self);
    if (ownReads > 0) {
        m_BlockingReads -= ownReads;
        if (m_BlockingReads == 0)
            m_Changed.notify_all();
    }
    ++m_WaitingWriters;
    m_Changed.wait(guard, [&] { return m_WriteDepth == 0 && m_BlockingReads == 0; });
    --m_WaitingWriters;
    m_Writer = self;
    m_WriteDepth = 1;
}

void ReadWriteSemaphore::WriteUnlock() {
    const auto self = std::this_thread::get_id();
    std::lock_guard guard(m_Lock);
    if (m_Writer != self || --m_WriteDepth > 0)
        return;
    m_Writer = std::thread::id();
    m_BlockingReads += ReadHoldsOf(self);
    ForgetIfNoReadHolds(self);
    m_Changed.notify_all();
}

} // namespace ZymThread
