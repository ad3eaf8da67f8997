#pragma once

#include "Zym/DateTime.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace Zym::LocalTime {

// The local time zone of this machine, as the C runtime sees it.

// Fields of an instant in local time; false when the zone cannot express it.
bool LocalFields(std::int64_t unixTime, DateTime::Fields& fields) noexcept;
// The instant of local calendar fields (month from 0); false on failure.
bool UnixTimeFromLocal(const DateTime::Fields& fields, std::int64_t& unixTime) noexcept;
// strftime of an instant in local time or UTC; false when the format
// cannot be applied.
bool FormatTime(std::int64_t unixTime, bool local, const std::string& format, std::string& text);

} // namespace Zym::LocalTime

namespace Zym::Platform {

// Reads the zone rules again (TZ may have changed in the process).
void ReloadTimeZone() noexcept;
// Breaks an instant down in local time or UTC; false when it cannot.
bool BreakDownTime(std::time_t value, bool local, std::tm& t) noexcept;

} // namespace Zym::Platform
