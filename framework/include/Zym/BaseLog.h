#pragma once

#include <Zym/Export.h>

#include "Zym/Log.h"

#include <mutex>

namespace Zym {

// Base of sinks that write entries as lines of text (files, consoles, the
// system log). A derived sink implements vOutputLine, which gets the line
// and the entry it was made from; lines are handed over one at a time.
//
// With `everyChange` set, every notification gives a line: an entry when
// added, when its text or progress changes, when cancelled and when closed.
// Without it each entry gives exactly one line, when it is complete: at
// once for an entry added closed, else when it is closed (a cancelled entry
// says so in that line); sinks that keep a permanent record want this.
class ZYM_EXPORT BaseLog : public LogCallInterface {
public:
    explicit BaseLog(bool everyChange);

    void EntryAdded(const SmartPtr<LogEntryCallInterface>& entry) override;
    void EntryClosed(const SmartPtr<LogEntryCallInterface>& entry) override;
    void EntryCancelled(const SmartPtr<LogEntryCallInterface>& entry) override;
    void EntryChanged(const SmartPtr<LogEntryCallInterface>& entry, EntryChanges changes) override;

    // "2024-03-01 12:45:00 warning: Disk almost full", with " (40%)" for an
    // open entry's progress and " (cancelled)" for a cancelled entry; the
    // time is local.
    static std::u16string FormatLine(const LogEntryCallInterface& entry);

protected:
    virtual void vOutputLine(const std::u16string& line,
                             const SmartPtr<LogEntryCallInterface>& entry) = 0;

private:
    void Output(const SmartPtr<LogEntryCallInterface>& entry);

    std::mutex m_OutputLock;
    const bool m_EveryChange;
};

} // namespace Zym
