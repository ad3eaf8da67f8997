#pragma once

#include <string>

namespace zymwin {

// Dereferences a null pointer: the crash of `zymwin dump crash`.
void CrashHereOnPurpose();

// Installs the crash handler writing into `directory` (and a core file with
// `core`), starts the worker threads "DumpWorker-1" and "DumpWorker-2" and
// crashes in the main thread, or in the worker named `crashingThread` when
// that is not empty (a name other than theirs replaces the first one's).
// Does not return.
[[noreturn]] void CrashWithWorkers(const std::string& directory, bool core,
                                   const std::string& crashingThread);

} // namespace zymwin
