#include "observer/WatchOutput.h"

namespace zymwin {

char NativeSeparator() noexcept {
    return '/';
}

} // namespace zymwin
