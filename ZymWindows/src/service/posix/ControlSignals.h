#pragma once

// The service manager's control signals, taken by the process so that none
// ends it while a service object lives: they wait in a pipe for the
// dispatcher to read.
namespace ZymWindows::Platform {

// The pipe's read end, or -1 when the signals are not taken.
int ControlSignalPipe() noexcept;

// The dispatcher's run: signals that came before it are served by it, ones
// that come after it has returned are dropped (nothing is left to obey them).
void BeginControlSignalService() noexcept;
void EndControlSignalService() noexcept;

} // namespace ZymWindows::Platform
