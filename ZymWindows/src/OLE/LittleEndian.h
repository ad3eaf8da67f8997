#pragma once

#include <cstdint>

namespace ZymWindows::OLE {

// Compound files and property sets store every integer little-endian.
inline std::uint16_t ReadLE16(const unsigned char* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadLE32(const unsigned char* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t ReadLE64(const unsigned char* p) noexcept {
    return ReadLE32(p) | (static_cast<std::uint64_t>(ReadLE32(p + 4)) << 32);
}

inline void WriteLE32(unsigned char* p, std::uint32_t value) noexcept {
    for (int i = 0; i < 4; ++i, value >>= 8)
        p[i] = static_cast<unsigned char>(value & 0xFF);
}

} // namespace ZymWindows::OLE
