#include "Zym/BaseLog.h"

#include "ZymCharset/Utf.h"

#include <cmath>
#include <string>

namespace Zym {

namespace {

std::string SeverityWord(LogEntryCallInterface::EntrySeverities severity) {
    switch (severity) {
    case LogEntryCallInterface::SEVERITY_PROGRESS:
        return "progress";
    case LogEntryCallInterface::SEVERITY_INFORMATION:
        return "information";
    case LogEntryCallInterface::SEVERITY_WARNING:
        return "warning";
    case LogEntryCallInterface::SEVERITY_ERROR:
        return "error";
    case LogEntryCallInterface::SEVERITY_FATAL:
        return "fatal";
    }
    return "severity " + std::to_string(static_cast<int>(severity));
}

} // namespace

BaseLog::BaseLog(bool everyChange) : m_EveryChange(everyChange) {}

std::u16string BaseLog::FormatLine(const LogEntryCallInterface& entry) {
    std::string head =
        entry.GetTime().AsStringLocal() + " " + SeverityWord(entry.GetSeverity()) + ": ";
    std::u16string line = ZymCharset::FromUtf8(head) + entry.GetText();
    const double progress = entry.GetProgress();
    if (!entry.IsClosed() && progress > 0.0)
        line += ZymCharset::FromUtf8(" (" + std::to_string(std::lround(progress * 100)) + "%)");
    if (entry.IsCancelled())
        line += u" (cancelled)";
    return line;
}

void BaseLog::Output(const SmartPtr<LogEntryCallInterface>& entry) {
    const std::u16string line = FormatLine(*entry);
    std::lock_guard lock(m_OutputLock);
    vOutputLine(line, entry);
}

void BaseLog::EntryAdded(const SmartPtr<LogEntryCallInterface>& entry) {
    if (entry && (m_EveryChange || entry->IsClosed()))
        Output(entry);
}

void BaseLog::EntryClosed(const SmartPtr<LogEntryCallInterface>& entry) {
    if (entry)
        Output(entry);
}

void BaseLog::EntryCancelled(const SmartPtr<LogEntryCallInterface>& entry) {
    if (entry && m_EveryChange)
        Output(entry);
}

void BaseLog::EntryChanged(const SmartPtr<LogEntryCallInterface>& entry, EntryChanges) {
    if (entry && m_EveryChange)
        Output(entry);
}

} // namespace Zym
