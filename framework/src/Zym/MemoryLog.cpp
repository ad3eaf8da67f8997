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

template <class Notify> void MemoryLog::Deliver(Notify notify) {
    // A copy, so that a sink may detach itself while it is told.
    const std::vector<SmartPtr<LogCallInterface>> sinks = m_Sinks;
    for (const auto& sink : sinks)
        notify(*sink);
}

void MemoryLog::Trim() {
    if (m_MaxEntries == 0)
        return;
    for (auto it = m_Entries.begin(); m_Entries.size() > m_MaxEntries && it != m_Entries.end();)
        it = (*it)->IsClosed() ? m_Entries.erase(it) : std::next(it);
}

void MemoryLog::EntryAdded(const SmartPtr<LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    std::lock_guard lock(m_Lock);
    m_Entries.push_back(entry);
    Trim();
    Deliver([&](LogCallInterface& sink) { sink.EntryAdded(entry); });
}

void MemoryLog::EntryClosed(const SmartPtr<LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    std::lock_guard lock(m_Lock);
    Trim();
    Deliver([&](LogCallInterface& sink) { sink.EntryClosed(entry); });
}

void MemoryLog::EntryCancelled(const SmartPtr<LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    std::lock_guard lock(m_Lock);
    Deliver([&](LogCallInterface& sink) { sink.EntryCancelled(entry); });
}

void MemoryLog::EntryChanged(const SmartPtr<LogEntryCallInterface>& entry, EntryChanges changes) {
    if (!entry)
        return;
    std::lock_guard lock(m_Lock);
    Deliver([&](LogCallInterface& sink) { sink.EntryChanged(entry, changes); });
}

} // namespace Zym
