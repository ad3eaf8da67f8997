#include "Zym/MemoryLog.h"

#include <algorithm>

namespace Zym {

MemoryLog::MemoryLog(std::size_t maxEntries) : m_MaxEntries(maxEntries) {}

void MemoryLog::AttachSink(const SmartPtr<LogCallInterface>& sink) {
    std::lock_guard lock(m_Lock);
    if (sink && std::find(m_Sinks.begin(), m_Sinks.end(), sink) == m_Sinks.end())
        m_Sinks.push_back(sink);
}

void MemoryLog::DetachSink(const SmartPtr<LogCallInterface>& sink) {
    std::lock_guard lock(m_Lock);
    std::erase(m_Sinks, sink);
}

std::vector<SmartPtr<LogEntryCallInterface>> MemoryLog::Entries() const {
    std::lock_guard lock(m_Lock);
    return {m_Entries.begin(), m_Entries.end()};
}

std::size_t MemoryLog::Size() const {
    std::lock_guard lock(m_Lock);
    return m_Entries.size();
}

void MemoryLog::Clear() {
    std::lock_guard lock(m_Lock);
    m_Entries.clear();
}

void MemoryLog::Trim() {
    if (m_MaxEntries == 0)
        return;
    for (auto it = m_Entries.begin(); m_Entries.size() > m_MaxEntries && it != m_Entries.end();)
        it = (*it)->IsClosed() ? m_Entries.erase(it) : std::next(it);
}

// Each notification copies the sinks under the lock and tells them after
// releasing it, so that a sink may detach itself while it is told and a
// sink that blocks stalls no other thread.
void MemoryLog::EntryAdded(const SmartPtr<LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    std::vector<SmartPtr<LogCallInterface>> sinks;
    {
        std::lock_guard lock(m_Lock);
        m_Entries.push_back(entry);
        Trim();
        sinks = m_Sinks;
    }
    for (const auto& sink : sinks)
        sink->EntryAdded(entry);
}

void MemoryLog::EntryClosed(const SmartPtr<LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    std::vector<SmartPtr<LogCallInterface>> sinks;
    {
        std::lock_guard lock(m_Lock);
        Trim();
        sinks = m_Sinks;
    }
    for (const auto& sink : sinks)
        sink->EntryClosed(entry);
}

void MemoryLog::EntryCancelled(const SmartPtr<LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    std::vector<SmartPtr<LogCallInterface>> sinks;
    {
        std::lock_guard lock(m_Lock);
        sinks = m_Sinks;
    }
    for (const auto& sink : sinks)
        sink->EntryCancelled(entry);
}

void MemoryLog::EntryChanged(const SmartPtr<LogEntryCallInterface>& entry, EntryChanges changes) {
    if (!entry)
        return;
    std::vector<SmartPtr<LogCallInterface>> sinks;
    {
        std::lock_guard lock(m_Lock);
        sinks = m_Sinks;
    }
    for (const auto& sink : sinks)
        sink->EntryChanged(entry, changes);
}

} // namespace Zym
