#include "Zym/DateTime.h"

#include "Calendar.h"
#include "LocalTime.h"

#include "ZymCharset/Utf.h"

#include <chrono>
#include <cstdio>

namespace Zym {

ZYM_DEFINE_EXCEPTION(DateTimeException);

namespace {

// 1601-01-01 to 1970-01-01, in seconds.
constexpr std::int64_t FILETIME_EPOCH_OFFSET = 11644473600;
constexpr std::int64_t FILETIME_TICKS_PER_SECOND = 10000000;

constexpr std::int64_t LAST_SECOND = Calendar::DaysFromCivil(3001, 1, 1) * 86400 - 1;

std::u16string Text(const std::string& utf8) {
    return ZymCharset::FromUtf8(utf8);
}

void CheckRange(std::int64_t unixTime) {
    if (unixTime < 0 || unixTime > LAST_SECOND)
        throw DateTimeException(Text("The time " + std::to_string(unixTime) +
                                     " s since 1970 is outside 1970-01-01T00:00:00Z to "
                                     "3000-12-31T23:59:59Z."));
}

bool IsValid(const DateTime::Fields& f) {
    // Local times may lie a day beyond the UTC range on either side.
    return f.year >= 1969 && f.year <= 3001 && f.month >= 0 && f.month <= 11 && f.day >= 1 &&
           f.day <= Calendar::DaysInMonth(f.year, f.month + 1) && f.hour >= 0 && f.hour <= 23 &&
           f.minute >= 0 && f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

} // namespace

std::int64_t FileTimeToUnixTime(std::uint64_t fileTime) noexcept {
    return static_cast<std::int64_t>(fileTime / FILETIME_TICKS_PER_SECOND) - FILETIME_EPOCH_OFFSET;
}

std::int64_t FileTimeToUnixTime(std::uint32_t lowPart, std::uint32_t highPart) noexcept {
    return FileTimeToUnixTime((static_cast<std::uint64_t>(highPart) << 32) | lowPart);
}

const std::string DateTime::ms_DefaultStringFormat = "%Y-%m-%d %H:%M:%S";

DateTime::DateTime(int year, int month, int day, int hour, int minute, int second, bool utc) {
    const Fields fields{year, month, day, hour, minute, second, 0};
    if (!IsValid(fields))
        throw DateTimeException(Text("Invalid date: year " + std::to_string(year) + ", month " +
                                     std::to_string(month) + " (0-11), day " + std::to_string(day) +
                                     ", " + std::to_string(hour) + ":" + std::to_string(minute) +
                                     ":" + std::to_string(second) + "."));
    if (utc) {
        m_UnixTime = Calendar::DaysFromCivil(year, month + 1, day) * Calendar::SECONDS_PER_DAY +
                     hour * 3600 + minute * 60 + second;
    } else if (!LocalTime::UnixTimeFromLocal(fields, m_UnixTime)) {
        throw DateTimeException(u"The local time zone cannot express this date.");
    }
    CheckRange(m_UnixTime);
}

DateTime::DateTime(std::int64_t unixTime) : m_UnixTime(unixTime) {
    CheckRange(unixTime);
}

DateTime DateTime::GetCurrentDateTime() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    return DateTime(static_cast<std::int64_t>(now.time_since_epoch().count()));
}

DateTime::Fields DateTime::Utc() const noexcept {
    const std::int64_t days = m_UnixTime / Calendar::SECONDS_PER_DAY;
    const int seconds = static_cast<int>(m_UnixTime % Calendar::SECONDS_PER_DAY);
    const Calendar::Civil civil = Calendar::CivilFromDays(days);
    return {static_cast<int>(civil.year),
            civil.month - 1,
            civil.day,
            seconds / 3600,
            seconds / 60 % 60,
            seconds % 60,
            static_cast<int>((days + 4) % 7)};
}

DateTime::Fields DateTime::Local() const {
    Fields fields{};
    if (!LocalTime::LocalFields(m_UnixTime, fields))
        throw DateTimeException(u"The local time zone cannot express this date.");
    return fields;
}

std::string DateTime::AsStringLocal(const std::string& format) const {
    std::string text;
    if (!LocalTime::FormatTime(m_UnixTime, true, format, text))
        throw DateTimeException(Text("The time format \"" + format + "\" cannot be applied."));
    return text;
}

std::u16string DateTime::AsWStringLocal(const std::u16string& format) const {
    return ZymCharset::FromUtf8(AsStringLocal(ZymCharset::ToUtf8(format)));
}

std::u16string DateTime::AsWStringLocal() const {
    return ZymCharset::FromUtf8(AsStringLocal());
}

std::string DateTime::AsStringUtc(const std::string& format) const {
    std::string text;
    if (!LocalTime::FormatTime(m_UnixTime, false, format, text))
        throw DateTimeException(Text("The time format \"" + format + "\" cannot be applied."));
    return text;
}

std::string DateTime::AsIsoUtc() const {
    const Fields f = Utc();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", f.year, f.month + 1, f.day,
                  f.hour, f.minute, f.second);
    return text;
}

} // namespace Zym
