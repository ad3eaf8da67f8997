#pragma once

// The process's dumpable flag, which decides whether it leaves a core file
// and may be traced. The kernel clears it whenever a thread changes its
// effective ids; it is put back once no thread impersonates any more, since
// crash reports need it.
namespace ZymWindows::Platform::DumpableFlag {

// Called before a thread starts impersonating: the first one saves the flag.
void Hold() noexcept;
// Called after a thread has stopped impersonating: the last one restores it.
void Release() noexcept;

} // namespace ZymWindows::Platform::DumpableFlag
