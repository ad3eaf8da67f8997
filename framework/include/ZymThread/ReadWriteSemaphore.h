#pragma once

#include <Zym/Export.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace ZymThread {

// A reader-writer lock in which both sides nest: a thread may take the
// read lock again while it holds it, take the read lock while it holds the
// write lock, take the write lock again, and take the write lock while it
// holds read locks. Such an upgrading reader stops counting as a reader
// while it waits, so two upgrading readers never wait for each other; what
// it read before may therefore have changed when it gets the write lock.
// When it leaves the write lock it is a reader again, as often as before.
// Waiting writers keep new readers out, so a stream of readers cannot starve
// them; a thread that already reads is let in again at once. Unlocking a
// lock that the calling thread does not hold does nothing.
class ZYM_EXPORT ReadWriteSemaphore {
public:
    ReadWriteSemaphore() = default;
    ReadWriteSemaphore(const ReadWriteSemaphore&) = delete;
    ReadWriteSemaphore& operator=(const ReadWriteSemaphore&) = delete;

    void ReadLock();
    void ReadUnlock();
    void WriteLock();
    void WriteUnlock();

private:
    unsigned int& ReadHoldsOf(std::thread::id thread);
    void ForgetIfNoReadHolds(std::thread::id thread);

    std::mutex m_Lock;
    std::condition_variable m_Changed;
    // Read holds per thread; few threads read at once, so a short list.
    std::vector<std::pair<std::thread::id, unsigned int>> m_ReadHolds;
    // Read holds that keep writers out (those of the writer itself and of
    // waiting upgraders do not).
    unsigned int m_BlockingReads = 0;
    std::thread::id m_Writer;
    unsigned int m_WriteDepth = 0;
    unsigned int m_WaitingWriters = 0;
};

// Holds the read lock for a scope.
class ZYM_EXPORT ReadLockGuard {
public:
    explicit ReadLockGuard(ReadWriteSemaphore& lock) : m_Lock(lock) { m_Lock.ReadLock(); }
    ~ReadLockGuard() { m_Lock.ReadUnlock(); }
    ReadLockGuard(const ReadLockGuard&) = delete;
    ReadLockGuard& operator=(const ReadLockGuard&) = delete;

private:
    ReadWriteSemaphore& m_Lock;
};

// Holds the write lock for a scope.
class ZYM_EXPORT WriteLockGuard {
public:
    explicit WriteLockGuard(ReadWriteSemaphore& lock) : m_Lock(lock) { m_Lock.WriteLock(); }
    ~WriteLockGuard() { m_Lock.WriteUnlock(); }
    WriteLockGuard(const WriteLockGuard&) = delete;
    WriteLockGuard& operator=(const WriteLockGuard&) = delete;

private:
    ReadWriteSemaphore& m_Lock;
};

} // namespace ZymThread
