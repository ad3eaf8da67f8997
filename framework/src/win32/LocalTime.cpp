#include "../Zym/LocalTime.h"

#include <mutex>
#include <time.h>
#include <vector>

namespace Zym::Platform {

namespace {

// The zone rules are process state of the C runtime that _tzset() reloads
// and strftime() reads; one lock keeps their users in order.
std::mutex g_ZoneLock;

void ToFields(const tm& t, DateTime::Fields& fields) noexcept {
    fields = {t.tm_year + 1900, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday};
}

bool Breakdown(std::int64_t unixTime, bool local, tm& t) noexcept {
    const time_t value = static_cast<time_t>(unixTime);
    if (!local)
        return gmtime_s(&t, &value) == 0;
    // Reads TZ again, so that a change of zone in the process is seen.
    _tzset();
    return localtime_s(&t, &value) == 0;
}

} // namespace

bool LocalFields(std::int64_t unixTime, DateTime::Fields& fields) noexcept {
    tm t{};
    const std::lock_guard guard(g_ZoneLock);
    if (!Breakdown(unixTime, true, t))
        return false;
    ToFields(t, fields);
    return true;
}

bool UnixTimeFromLocal(const DateTime::Fields& fields, std::int64_t& unixTime) noexcept {
    tm t{};
    t.tm_year = fields.year - 1900;
    t.tm_mon = fields.month;
    t.tm_mday = fields.day;
    t.tm_hour = fields.hour;
    t.tm_min = fields.minute;
    t.tm_sec = fields.second;
    t.tm_isdst = -1; // let the zone rules decide
    const std::lock_guard guard(g_ZoneLock);
    _tzset();
    const time_t value = mktime(&t);
    // -1 is also 1969-12-31T23:59:59Z, which is out of range for the caller
    // anyway.
    if (value == static_cast<time_t>(-1))
        return false;
    unixTime = value;
    return true;
}

bool FormatTime(std::int64_t unixTime, bool local, const std::string& format, std::string& text) {
    tm t{};
    const std::lock_guard guard(g_ZoneLock);
    if (!Breakdown(unixTime, local, t))
        return false;
    // strftime returns 0 both for an empty result and for a full buffer; a
    // trailing marker tells the two apart.
    const std::string marked = format + "|";
    for (std::size_t size = 128; size <= 65536; size *= 4) {
        std::vector<char> buffer(size);
        const std::size_t length = strftime(buffer.data(), size, marked.c_str(), &t);
        if (length > 0) {
            text.assign(buffer.data(), length - 1);
            return true;
        }
    }
    return false;
}

} // namespace Zym::Platform
