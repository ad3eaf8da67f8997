#pragma once

#include "ZymWindows/Uuid.h"

namespace ZymWindows::Platform {

// UuidCreate: a new random UUID; 0, or an RPC status such as 1739
// (RPC_S_UUID_NO_ADDRESS) or 1824 (RPC_S_UUID_LOCAL_ONLY).
long UuidCreate(GUID& guid);

} // namespace ZymWindows::Platform
