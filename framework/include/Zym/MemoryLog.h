#pragma once

#include "Zym/Log.h"

#include <deque>
#include <mutex>
#include <vector>

namespace Zym {

// A log that keeps its entries in memory and passes every notification on
// to the sinks attached to it. Notifications are delivered one at a time,
// so every sink sees the same order; a sink may log to this log again from
// within a notification (on the same thread). A sink that blocks holds up
// every thread that logs.
class MemoryLog : public LogCallInterface {
public:
    // With `maxEntries` above 0, the oldest closed entries are dropped once
    // there are more; open entries are always kept.
    explicit MemoryLog(std::size_t maxEntries = 0);

    void AttachSink(const SmartPtr<LogCallInterface>& sink);
    void DetachSink(const SmartPtr<LogCallInterface>& sink);

    // The entries kept, oldest first.
    std::vector<SmartPtr<LogEntryCallInterface>> Entries() const;
    std::size_t Size() const;
    void Clear();

    void EntryAdded(const SmartPtr<LogEntryCallInterface>& entry) override;
    void EntryClosed(const SmartPtr<LogEntryCallInterface>& entry) override;
    void EntryCancelled(const SmartPtr<LogEntryCallInterface>& entry) override;
    void EntryChanged(const SmartPtr<LogEntryCallInterface>& entry, EntryChanges changes) override;

private:
    template <class Notify> void Deliver(Notify notify);
    void Trim();

    mutable std::recursive_mutex m_Lock;
    std::deque<SmartPtr<LogEntryCallInterface>> m_Entries;
    std::vector<SmartPtr<LogCallInterface>> m_Sinks;
    const std::size_t m_MaxEntries;
};

} // namespace Zym
