#include "ZymWindows/EventLog.h"

#include "eventlog/EventLogPlatform.h"

#include <Zym/Exception.h>
#include <ZymCharset/Conv.h>

#include <exception>

namespace ZymWindows {

namespace {

// UTF-8 through the framework's converters; nothing when they fail, since
// this sink has nobody to report to.
std::string ToUtf8(const std::u16string& text) noexcept {
    try {
        return ZymCharset::Conv::FromWide(Zym::CHARSET_UTF8, text);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

EventLog::EventLog(const std::u16string& sourceName)
    : Zym::BaseLog(false), m_SourceName(sourceName),
      m_Source(Platform::RegisterEventSource(ToUtf8(m_SourceName))) {}

EventLog::~EventLog() {
    Platform::DeregisterEventSource(m_Source);
    m_Source = nullptr;
}

unsigned short EventLog::EventType(Zym::LogEntryCallInterface::EntrySeverities severity) noexcept {
    switch (severity) {
    case Zym::LogEntryCallInterface::SEVERITY_PROGRESS:
    case Zym::LogEntryCallInterface::SEVERITY_INFORMATION:
        return EVENTLOG_INFORMATION_TYPE;
    case Zym::LogEntryCallInterface::SEVERITY_WARNING:
        return EVENTLOG_WARNING_TYPE;
    case Zym::LogEntryCallInterface::SEVERITY_ERROR:
    case Zym::LogEntryCallInterface::SEVERITY_FATAL:
        return EVENTLOG_ERROR_TYPE;
    }
    return EVENTLOG_SUCCESS;
}

void EventLog::vOutputLine(const std::u16string&,
                           const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    try {
        const std::string text = ToUtf8(entry->GetText());
        Platform::ReportEvent(m_Source, EventType(entry->GetSeverity()), 0, 1, text);
    } catch (const Zym::BaseException&) {
        // An entry that cannot give its text leaves no record; the
        // framework's exceptions are not std::exceptions.
    } catch (const std::exception&) {
        // Nor does one that runs out of memory.
    }
}

} // namespace ZymWindows
