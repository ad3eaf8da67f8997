#include "../Zym/LocalTime.h"

#include <time.h>

namespace Zym::Platform {

void ReloadTimeZone() noexcept {
    tzset();
}

bool BreakDownTime(std::time_t value, bool local, std::tm& t) noexcept {
    return (local ? localtime_r(&value, &t) : gmtime_r(&value, &t)) != nullptr;
}

} // namespace Zym::Platform
