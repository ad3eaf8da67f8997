#pragma once

namespace zymwin {

// A long-running command's stop request: Ctrl-C, or on Linux SIGTERM. Prepared before any
// thread starts, so that the request reaches WaitForStopRequest only.
void PrepareForStopRequest();
void WaitForStopRequest();

} // namespace zymwin
