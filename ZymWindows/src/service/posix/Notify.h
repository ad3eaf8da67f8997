#pragma once

#include <string>

// The service manager's notification protocol (sd_notify): datagrams of
// "NAME=VALUE" lines to the socket named by $NOTIFY_SOCKET.
namespace ZymWindows::Platform {

// Whether this process was given a notification socket.
bool HasNotifySocket();

// Sends `lines` in one datagram; 0 or a Win32 error number.
unsigned long Notify(const std::string& lines);

} // namespace ZymWindows::Platform
