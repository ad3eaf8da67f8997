#pragma once

#include <Zym/Export.h>

#include "Zym/Log.h"

#include <deque>
#include <mutex>
#include <vector>

namespace Zym {

// A log that keeps its entries in memory and passes every notification on
// to the sinks attached to it, on the thread that made it. The log's own
// lock guards only its entries and sinks and is never held while a sink is
// told: a sink that blocks (a frozen log window) holds up only the thread
// that is telling it, never other threads or other sinks, and a sink may
// log to this log again from within a notification. Notifications made one
// after another reach every sink in that order; notifications that threads
// make at the same moment may reach two sinks in different orders.
class ZYM_EXPORT MemoryLog : public LogCallInterface {
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
    void Trim();

    mutable std::mutex m_Lock;
    std::deque<SmartPtr<LogEntryCallInterface>> m_Entries;
    std::vector<SmartPtr<LogCallInterface>> m_Sinks;
    const std::size_t m_MaxEntries;
};

} // namespace Zym
