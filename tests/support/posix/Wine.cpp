#include "Wine.h"

namespace zymtest {

std::optional<std::string> WineVersion() {
    return std::nullopt;
}

} // namespace zymtest
