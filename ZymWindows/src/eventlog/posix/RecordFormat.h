#pragma once

#include <ctime>
#include <string>

namespace ZymWindows::Platform {

// One event record as the system log stores it.
struct EventRecord {
    std::string identifier; // the event source, UTF-8
    unsigned short type = 0;
    unsigned short category = 0;
    unsigned long eventId = 0;
    std::string text; // UTF-8
};

// The syslog severity of an event type: error 3, warning 4, information 6,
// success (and anything else) notice 5.
int SyslogSeverity(unsigned short type) noexcept;

// The record in the journal's native datagram form: one FIELD=value line
// per field, and for a value holding a newline the binary form (the name,
// a newline, the value's length as 64-bit little-endian, the value and a
// newline).
std::string JournalDatagram(const EventRecord& record);

// The record as a local syslog line of facility user, in the form that
// syslog(3) sends to /dev/log: "<PRI>Mmm dd hh:mm:ss IDENT[PID]: TEXT",
// with the local time `when`. IDENT is the identifier with spaces, colons,
// brackets and control characters as underscores, which would end the tag.
std::string SyslogLine(const EventRecord& record, const std::tm& when, long pid);

} // namespace ZymWindows::Platform
