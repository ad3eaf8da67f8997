#include "Zym/Environment.h"

#include <cstdlib>

namespace Zym {

namespace {

constexpr unsigned long long INFINITE_WAIT = 0xFFFFFFFFULL;

} // namespace

std::optional<unsigned long> MillisecondsFromEnvironment(const char* name) {
    const char* text = std::getenv(name);
    if (!text || *text < '0' || *text > '9')
        return std::nullopt;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || value >= INFINITE_WAIT)
        return std::nullopt;
    return static_cast<unsigned long>(value);
}

} // namespace Zym
