#pragma once

#include <cstdint>

namespace ZymWindows {

// A 16-byte identifier in the field layout of Windows: property set format
// ids and UUIDs. Streams store it field by field, little-endian.
struct _GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend bool operator==(const _GUID&, const _GUID&) = default;
};
using GUID = _GUID;

} // namespace ZymWindows
