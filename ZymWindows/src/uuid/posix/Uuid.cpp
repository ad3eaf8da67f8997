#include "uuid/UuidPlatform.h"

#include <uuid/uuid.h>

namespace ZymWindows::Platform {

long UuidCreate(GUID& guid) {
    uuid_t bytes;
    uuid_generate_random(bytes);
    // libuuid gives the big-endian wire form; the first three fields of a
    // GUID are numbers.
    guid.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 |
                 static_cast<std::uint32_t>(bytes[1]) << 16 |
                 static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    guid.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    guid.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return 0;
}

} // namespace ZymWindows::Platform
