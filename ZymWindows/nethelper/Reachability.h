#pragma once

#include "network/posix/RemoteProtocol.h"

#include <cstdint>
#include <string>

namespace ZymWindows::NetHelper {

// Whether the server takes a connection on the SMB port (or, where that
// is closed, the NetBIOS session port) within `timeoutMs`: a closed port
// or a silent address is told at once, instead of after the Samba
// library's own waits.
Reason Reach(const std::string& server, std::uint32_t timeoutMs, bool& resolved);

// The reason behind a failed connection, from what the library printed.
Reason ConnectionReason(const std::string& printed);

} // namespace ZymWindows::NetHelper
