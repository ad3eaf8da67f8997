#pragma once

#include <ZymWindows/ProcessDump.h>

#include <cstddef>

// What the crash report and the core writer ask of the operating system.
// On Linux a helper outside the process writes both: nothing is allocated
// here and only async-signal-safe calls are made, so a fatal-signal handler
// may call them, whatever state the heap is in. On Windows they are written
// in the process, from its unhandled-exception filter after a crash.
namespace ZymWindows::Platform {

// Writes the report of this process to `path` (a dump path: a file, or a
// directory that a time-stamped name is made in). The thread
// `failingThread` is walked from `context` when that is not null, first,
// and marked failing. `written` receives the file's path, or "" when no
// file was made. True when the report is complete.
bool WriteReport(const char* path, unsigned long failingThread, const CONTEXT* context,
                 char* written, std::size_t size) noexcept;

// Writes a core file of the process to `path`, as WriteReport does the
// report; the thread `failingThread` is taken from `exception`'s context.
bool WriteCoreFile(const char* path, bool full, const EXCEPTION_POINTERS* exception,
                   unsigned long failingThread, char* written, std::size_t size) noexcept;

// True where the writer is a program of its own, which may not start: the
// library's entry points then make the file empty in its place. A writer
// in the process makes the file whenever it can, and leaves alone a file
// it could not make.
extern const bool MAKE_FILE_THE_WRITER_DID_NOT;

} // namespace ZymWindows::Platform
