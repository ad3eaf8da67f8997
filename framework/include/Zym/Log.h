#pragma once

#include <Zym/Export.h>

#include "Zym/DateTime.h"
#include "Zym/MessageInfo.h"
#include "Zym/RefCounter.h"
#include "Zym/SmartPtr.h"

#include <string>

namespace Zym {

class LogEntry;

// One entry of a log, as sinks see it. An entry is open while the work it
// describes goes on (it may show progress) and closed once that work ends;
// work that was abandoned is also marked cancelled.
class ZYM_EXPORT LogEntryCallInterface : public SPRefCounter {
public:
    enum EntrySeverities {
        SEVERITY_PROGRESS = 0,    // a step of ordinary work
        SEVERITY_INFORMATION = 1, // something worth a reader's notice
        SEVERITY_WARNING = 2,
        SEVERITY_ERROR = 3,
        SEVERITY_FATAL = 4,
    };

    virtual bool IsClosed() const = 0;
    virtual bool IsCancelled() const = 0;
    virtual EntrySeverities GetSeverity() const = 0;
    // When the entry was made.
    virtual DateTime GetTime() const = 0;
    // 0.0 for none, else the fraction done (up to 1.0).
    virtual double GetProgress() const = 0;
    virtual std::u16string GetText() const = 0;
};

// A log, or a sink that a log tells about its entries. Notifications come
// from any thread. AddEntry and the other helpers below drive any log the
// same way: they update the entry and send the matching notification.
class ZYM_EXPORT LogCallInterface : public SPRefCounter {
public:
    // What changed in an entry, as bits; closing ends the entry's progress
    // and changes its state.
    enum EntryChanges {
        CHANGE_TEXT = 1,
        CHANGE_PROGRESS = 2,
        CHANGE_STATE = 4,
        CHANGE_CLOSED = CHANGE_PROGRESS | CHANGE_STATE,
    };

    ~LogCallInterface() override = default;

    virtual void EntryAdded(const SmartPtr<LogEntryCallInterface>& entry) = 0;
    virtual void EntryClosed(const SmartPtr<LogEntryCallInterface>& entry) = 0;
    virtual void EntryCancelled(const SmartPtr<LogEntryCallInterface>& entry) = 0;
    virtual void EntryChanged(const SmartPtr<LogEntryCallInterface>& entry,
                              EntryChanges changes) = 0;

    // Adds a closed entry stamped with the current time.
    SmartPtr<LogEntry> AddEntry(const std::u16string& text,
                                LogEntryCallInterface::EntrySeverities severity);
    // The same with the message's text, its last error's text included.
    SmartPtr<LogEntry> AddEntry(const SmartPtr<MessageInfo>& message,
                                LogEntryCallInterface::EntrySeverities severity);
    // Adds an open entry, for work whose progress follows.
    SmartPtr<LogEntry> OpenEntry(const std::u16string& text,
                                 LogEntryCallInterface::EntrySeverities severity);
    void SetEntryProgress(const SmartPtr<LogEntry>& entry, double progress);
    void SetEntryText(const SmartPtr<LogEntry>& entry, const std::u16string& text);
    // Closing or cancelling an entry a second time sends nothing.
    void CloseEntry(const SmartPtr<LogEntry>& entry);
    void CancelEntry(const SmartPtr<LogEntry>& entry);
};

} // namespace Zym
