#pragma once

#include <Zym/Export.h>

#include "Zym/Exception.h"

#include <compare>
#include <cstdint>
#include <string>

namespace Zym {

// Raised for a date outside the supported range, an impossible calendar
// field, or a time that the local time zone cannot express.
ZYM_ROOT_EXCEPTION(ZYM_EXPORT, DateTimeException, Exception);

// Converts a Windows FILETIME (100-ns intervals since 1601-01-01 UTC) into
// whole seconds since 1970-01-01 UTC, rounding towards the past; instants
// before 1970 give negative counts.
ZYM_EXPORT std::int64_t FileTimeToUnixTime(std::uint64_t fileTime) noexcept;
ZYM_EXPORT std::int64_t FileTimeToUnixTime(std::uint32_t lowPart, std::uint32_t highPart) noexcept;

// An instant to the second. The range is the one the C runtime's local time
// handles on Windows, 1970-01-01T00:00:00Z to 3000-12-31T23:59:59Z, so a
// value that exists can always be shown in local time; anything outside
// raises DateTimeException.
class ZYM_EXPORT DateTime {
public:
    // Broken-down calendar time: `month` counts from 0 (January), `weekDay`
    // from 0 (Sunday).
    struct Fields {
        int year;
        int month;
        int day;
        int hour;
        int minute;
        int second;
        int weekDay;
    };

    // strftime form used when none is given: "2024-03-01 13:45:00".
    static const std::string ms_DefaultStringFormat;

    // 1970-01-01T00:00:00Z.
    DateTime() noexcept = default;
    // From calendar fields, `month` counting from 0. With `utc` the fields
    // are Coordinated Universal Time; without it they are the local time of
    // this machine, and a local time that a daylight-saving change skips is
    // moved forward by the size of the gap.
    DateTime(int year, int month, int day, int hour, int minute, int second, bool utc);
    // From seconds since 1970-01-01T00:00:00Z.
    explicit DateTime(std::int64_t unixTime);

    static DateTime GetCurrentDateTime();

    std::int64_t AsUnixTime() const noexcept { return m_UnixTime; }
    Fields Utc() const noexcept;
    Fields Local() const;

    // strftime formatting in local time or in UTC. Wide forms take and give
    // UTF-16; the names that some conversions print come from the C locale.
    std::string AsStringLocal(const std::string& format = ms_DefaultStringFormat) const;
    std::u16string AsWStringLocal(const std::u16string& format) const;
    std::u16string AsWStringLocal() const;
    std::string AsStringUtc(const std::string& format = ms_DefaultStringFormat) const;
    // "2024-03-01T12:45:00Z".
    std::string AsIsoUtc() const;

    friend bool operator==(const DateTime&, const DateTime&) noexcept = default;
    friend auto operator<=>(const DateTime&, const DateTime&) noexcept = default;

private:
    std::int64_t m_UnixTime = 0;
};

} // namespace Zym
