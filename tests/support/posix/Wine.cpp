#include "Wine.h"

namespace zymtest {

std::optional<std::string> WineVersion() {
    return std::nullopt;
}

bool WineLacksCodePage(unsigned) {
    return false;
}

} // namespace zymtest
