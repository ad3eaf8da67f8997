#pragma once

#include <ZymWindows/Export.h>

#include <Zym/BaseLog.h>

#include <string>

namespace ZymWindows {

namespace Platform {
struct EventSource;
}

// A log sink that writes each complete entry as one record of the system's
// event log, under the event source named at construction. The record holds
// the entry's own text (not the formatted line) and an event type taken
// from its severity. Nothing here raises or waits: a record that cannot be
// delivered is dropped.
class ZYMWINDOWS_EXPORT EventLog : public Zym::BaseLog {
public:
    explicit EventLog(const std::u16string& sourceName);
    ~EventLog() override;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Event types of the records.
    static constexpr unsigned short EVENTLOG_SUCCESS = 0;
    static constexpr unsigned short EVENTLOG_ERROR_TYPE = 1;
    static constexpr unsigned short EVENTLOG_WARNING_TYPE = 2;
    static constexpr unsigned short EVENTLOG_INFORMATION_TYPE = 4;

    // The event type of an entry of this severity.
    static unsigned short EventType(Zym::LogEntryCallInterface::EntrySeverities severity) noexcept;

protected:
    void vOutputLine(const std::u16string& line,
                     const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override;

private:
    std::u16string m_SourceName;
    Platform::EventSource* m_Source = nullptr;
};

} // namespace ZymWindows
