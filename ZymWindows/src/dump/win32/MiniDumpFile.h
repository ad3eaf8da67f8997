#pragma once

#include <cstddef>
#include <windows.h>
// After <windows.h>.
#include <dbghelp.h>

namespace ZymWindows::Platform {

// Writes a minidump of `type` of this process to `path` (a dump path: a
// file, or a directory that a time-stamped name is made in) through the
// writer of "NewDbgHelp.dll"; `exception` and `failingThread`, when given,
// name the crash. The file is made even without a writer, and left empty.
// `written` receives its path, or "" when no file was made. True when the
// writer reported success.
bool WriteMiniDumpFile(const char* path, MINIDUMP_TYPE type, const EXCEPTION_POINTERS* exception,
                       unsigned long failingThread, char* written, std::size_t size) noexcept;

} // namespace ZymWindows::Platform
