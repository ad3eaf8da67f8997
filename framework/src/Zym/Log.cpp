#include "Zym/Log.h"

#include "Zym/LogEntry.h"

namespace Zym {

SmartPtr<LogEntry> LogCallInterface::AddEntry(const std::u16string& text,
                                              LogEntryCallInterface::EntrySeverities severity) {
    SmartPtr<LogEntry> entry = new LogEntry(text, severity, true);
    EntryAdded(entry);
    return entry;
}

SmartPtr<LogEntry> LogCallInterface::AddEntry(const SmartPtr<MessageInfo>& message,
                                              LogEntryCallInterface::EntrySeverities severity) {
    return AddEntry(message ? message->GetMsg(true, -1) : std::u16string(), severity);
}

SmartPtr<LogEntry> LogCallInterface::OpenEntry(const std::u16string& text,
                                               LogEntryCallInterface::EntrySeverities severity) {
    SmartPtr<LogEntry> entry = new LogEntry(text, severity, false);
    EntryAdded(entry);
    return entry;
}

void LogCallInterface::SetEntryProgress(const SmartPtr<LogEntry>& entry, double progress) {
    entry->SetProgress(progress);
    EntryChanged(entry, CHANGE_PROGRESS);
}

void LogCallInterface::SetEntryText(const SmartPtr<LogEntry>& entry, const std::u16string& text) {
    entry->SetText(text);
    EntryChanged(entry, CHANGE_TEXT);
}

void LogCallInterface::CloseEntry(const SmartPtr<LogEntry>& entry) {
    if (entry->Close())
        EntryClosed(entry);
}

void LogCallInterface::CancelEntry(const SmartPtr<LogEntry>& entry) {
    if (entry->Cancel())
        EntryCancelled(entry);
}

} // namespace Zym
