#include "LocalTime.h"

#include <mutex>
#include <vector>

namespace Zym::LocalTime {

namespace {

// The zone rules are process state of the C runtime that a reload changes
// and strftime() reads. The runtime may guard them with a lock of its own
// that ThreadSanitizer does not see; taking this one around every use keeps
// their users in order and makes that order visible.
std::mutex g_ZoneLock;

void ToFields(const std::tm& t, DateTime::Fields& fields) noexcept {
    fields = {t.tm_year + 1900, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday};
}

bool Breakdown(std::int64_t unixTime, bool local, std::tm& t) noexcept {
    // Reads TZ again, so that a change of zone in the process is seen.
    if (local)
        Platform::ReloadTimeZone();
    return Platform::BreakDownTime(static_cast<std::time_t>(unixTime), local, t);
}

} // namespace

bool LocalFields(std::int64_t unixTime, DateTime::Fields& fields) noexcept {
    std::tm t{};
    const std::lock_guard guard(g_ZoneLock);
    if (!Breakdown(unixTime, true, t))
        return false;
    ToFields(t, fields);
    return true;
}

bool UnixTimeFromLocal(const DateTime::Fields& fields, std::int64_t& unixTime) noexcept {
    std::tm t{};
    t.tm_year = fields.year - 1900;
    t.tm_mon = fields.month;
    t.tm_mday = fields.day;
    t.tm_hour = fields.hour;
    t.tm_min = fields.minute;
    t.tm_sec = fields.second;
    t.tm_isdst = -1; // let the zone rules decide
    const std::lock_guard guard(g_ZoneLock);
    Platform::ReloadTimeZone();
    const std::time_t value = std::mktime(&t);
    // -1 is also 1969-12-31T23:59:59Z, which is out of range for the caller
    // anyway.
    if (value == static_cast<std::time_t>(-1))
        return false;
    unixTime = value;
    return true;
}

bool FormatTime(std::int64_t unixTime, bool local, const std::string& format, std::string& text) {
    std::tm t{};
    const std::lock_guard guard(g_ZoneLock);
    if (!Breakdown(unixTime, local, t))
        return false;
    // strftime returns 0 both for an empty result and for a full buffer; a
    // trailing marker tells the two apart.
    const std::string marked = format + "|";
    for (std::size_t size = 128; size <= 65536; size *= 4) {
        std::vector<char> buffer(size);
        const std::size_t length = std::strftime(buffer.data(), size, marked.c_str(), &t);
        if (length > 0) {
            text.assign(buffer.data(), length - 1);
            return true;
        }
    }
    return false;
}

} // namespace Zym::LocalTime
