#pragma once

#include <Zym/Export.h>

#include "Zym/Log.h"

#include <mutex>

namespace Zym {

// The entry that the logs of this framework make. Its state can be read and
// changed from any thread; a change reaches sinks through the log that made
// the entry (LogCallInterface::SetEntryProgress and the like).
class ZYM_EXPORT LogEntry : public LogEntryCallInterface {
public:
    LogEntry(std::u16string text, EntrySeverities severity, bool closed,
             DateTime time = DateTime::GetCurrentDateTime());

    bool IsClosed() const override;
    bool IsCancelled() const override;
    EntrySeverities GetSeverity() const override;
    DateTime GetTime() const override;
    double GetProgress() const override;
    std::u16string GetText() const override;

    // Progress is kept within 0.0 to 1.0.
    void SetProgress(double progress);
    void SetText(std::u16string text);
    // Closing also ends the progress shown. Both return whether the entry
    // changed (false when it was closed, or cancelled, already).
    bool Close();
    bool Cancel();

private:
    mutable std::mutex m_Lock;
    std::u16string m_Text;
    const EntrySeverities m_Severity;
    const DateTime m_Time;
    double m_Progress = 0.0;
    bool m_Closed;
    bool m_Cancelled = false;
};

} // namespace Zym
