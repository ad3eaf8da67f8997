#pragma once

#include <string>

// What the event-log sink asks of the operating system. Neither call
// raises or waits; failures are only visible as the thread's last error.
namespace ZymWindows::Platform {

// A registered event source: where its records go and under which name.
struct EventSource;

// Registers the source `name` (UTF-8) on the local computer; null with the
// last error set on failure.
EventSource* RegisterEventSource(const std::string& name) noexcept;

// Writes one record with a single string (UTF-8). A null source, a full or
// missing destination drop the record: the result is the Win32 error of
// that failure, ERROR_SUCCESS once the record was handed over.
unsigned long ReportEvent(EventSource* source, unsigned short type, unsigned short category,
                          unsigned long eventId, const std::string& text) noexcept;

// Also accepts null.
void DeregisterEventSource(EventSource* source) noexcept;

} // namespace ZymWindows::Platform
