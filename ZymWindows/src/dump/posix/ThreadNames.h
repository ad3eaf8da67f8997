#pragma once

namespace ZymWindows::Platform {

// Sends the framework name of every thread of this process that has one,
// as the helper's NameRecords, and the closing record. Async-signal-safe,
// nothing allocated.
bool SendThreadNames(int socket) noexcept;

} // namespace ZymWindows::Platform
