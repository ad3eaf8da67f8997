#include "eventlog/posix/RecordFormat.h"

#include <cstdint>
#include <cstdio>

namespace ZymWindows::Platform {

namespace {

constexpr int FACILITY_USER = 1;

void AppendField(std::string& datagram, const char* name, const std::string& value) {
    datagram += name;
    if (value.find('\n') == std::string::npos) {
        datagram += '=';
        datagram += value;
    } else {
        datagram += '\n';
        std::uint64_t size = value.size();
        for (int i = 0; i < 8; ++i, size >>= 8)
            datagram += static_cast<char>(size & 0xFF);
        datagram += value;
    }
    datagram += '\n';
}

// Syslog readers take the tag up to the first space, colon or bracket, so
// those (and control characters) become underscores.
std::string SyslogTag(const std::string& identifier) {
    std::string tag = identifier;
    for (char& c : tag) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || c == ':' || c == '[' || c == ']')
            c = '_';
    }
    return tag;
}

} // namespace

int SyslogSeverity(unsigned short type) noexcept {
    switch (type) {
    case 1:
        return 3;
    case 2:
        return 4;
    case 4:
        return 6;
    default:
        return 5;
    }
}

std::string JournalDatagram(const EventRecord& record) {
    std::string datagram;
    datagram.reserve(record.text.size() + record.identifier.size() + 160);
    AppendField(datagram, "MESSAGE", record.text);
    AppendField(datagram, "PRIORITY", std::to_string(SyslogSeverity(record.type)));
    AppendField(datagram, "SYSLOG_IDENTIFIER", record.identifier);
    AppendField(datagram, "ZYM_EVENT_TYPE", std::to_string(record.type));
    AppendField(datagram, "ZYM_EVENT_CATEGORY", std::to_string(record.category));
    AppendField(datagram, "ZYM_EVENT_ID", std::to_string(record.eventId));
    return datagram;
}

std::string SyslogLine(const EventRecord& record, const std::tm& when, long pid) {
    static constexpr const char* MONTHS[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int month = when.tm_mon >= 0 && when.tm_mon < 12 ? when.tm_mon : 0;
    char head[64];
    std::snprintf(head, sizeof head, "<%d>%s %2d %02d:%02d:%02d ",
                  FACILITY_USER * 8 + SyslogSeverity(record.type), MONTHS[month], when.tm_mday,
                  when.tm_hour, when.tm_min, when.tm_sec);
    return head + SyslogTag(record.identifier) + "[" + std::to_string(pid) + "]: " + record.text;
}

} // namespace ZymWindows::Platform
