#pragma once

namespace ZymWindows::Platform {

// The thread that writes the evidence of a crash now; 0 while none does.
// It is the library's, not the program's: the report leaves it out.
unsigned long CrashWriterThread() noexcept;

} // namespace ZymWindows::Platform
