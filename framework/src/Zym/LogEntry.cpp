#include "Zym/LogEntry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Zym {

LogEntry::LogEntry(std::u16string text, EntrySeverities severity, bool closed, DateTime time)
    : m_Text(std::move(text)), m_Severity(severity), m_Time(time), m_Closed(closed) {}

bool LogEntry::IsClosed() const {
    std::lock_guard lock(m_Lock);
    return m_Closed;
}

bool LogEntry::IsCancelled() const {
    std::lock_guard lock(m_Lock);
    return m_Cancelled;
}

LogEntryCallInterface::EntrySeverities LogEntry::GetSeverity() const {
    return m_Severity;
}

DateTime LogEntry::GetTime() const {
    return m_Time;
}

double LogEntry::GetProgress() const {
    std::lock_guard lock(m_Lock);
    return m_Progress;
}

std::u16string LogEntry::GetText() const {
    std::lock_guard lock(m_Lock);
    return m_Text;
}

void LogEntry::SetProgress(double progress) {
    std::lock_guard lock(m_Lock);
    m_Progress = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
}

void LogEntry::SetText(std::u16string text) {
    std::lock_guard lock(m_Lock);
    m_Text = std::move(text);
}

bool LogEntry::Close() {
    std::lock_guard lock(m_Lock);
    m_Progress = 0.0;
    return !std::exchange(m_Closed, true);
}

bool LogEntry::Cancel() {
    std::lock_guard lock(m_Lock);
    return !std::exchange(m_Cancelled, true);
}

} // namespace Zym
