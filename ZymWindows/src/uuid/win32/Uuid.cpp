#include "uuid/UuidPlatform.h"

#include <windows.h>

#include <rpc.h>

#include <cstring>

namespace ZymWindows::Platform {

long UuidCreate(GUID& guid) {
    ::UUID created{};
    const RPC_STATUS status = ::UuidCreate(&created);
    // The system's GUID has the same fields in the same layout.
    static_assert(sizeof created == sizeof guid);
    std::memcpy(&guid, &created, sizeof guid);
    return status;
}

} // namespace ZymWindows::Platform
