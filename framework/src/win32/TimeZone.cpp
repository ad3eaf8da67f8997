#include "../Zym/LocalTime.h"

#include <time.h>

namespace Zym::Platform {

void ReloadTimeZone() noexcept {
    _tzset();
}

bool BreakDownTime(std::time_t value, bool local, std::tm& t) noexcept {
    return (local ? localtime_s(&t, &value) : gmtime_s(&t, &value)) == 0;
}

} // namespace Zym::Platform
