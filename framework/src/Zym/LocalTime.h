#pragma once

#include "Zym/DateTime.h"

#include <cstdint>
#include <string>

namespace Zym::Platform {

// The local time zone of this machine, as the C runtime sees it.

// Fields of an instant in local time; false when the zone cannot express it.
bool LocalFields(std::int64_t unixTime, DateTime::Fields& fields) noexcept;
// The instant of local calendar fields (month from 0); false on failure.
bool UnixTimeFromLocal(const DateTime::Fields& fields, std::int64_t& unixTime) noexcept;
// strftime of an instant in local time or UTC; false when the format
// cannot be applied.
bool FormatTime(std::int64_t unixTime, bool local, const std::string& format, std::string& text);

} // namespace Zym::Platform
