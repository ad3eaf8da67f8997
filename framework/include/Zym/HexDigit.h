#pragma once

namespace Zym {

// The value of one hexadecimal digit of either case; -1 for any other
// character (of any width).
constexpr int HexDigit(char32_t c) noexcept {
    if (c >= U'0' && c <= U'9')
        return static_cast<int>(c - U'0');
    if (c >= U'a' && c <= U'f')
        return static_cast<int>(c - U'a' + 10);
    if (c >= U'A' && c <= U'F')
        return static_cast<int>(c - U'A' + 10);
    return -1;
}

} // namespace Zym
