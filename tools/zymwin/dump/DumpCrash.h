#pragma once

#include <string>

namespace zymwin {

// Dereferences a null pointer: the crash of `zymwin dump crash`.
void CrashHereOnPurpose();

// Installs the crash handler writing into `directory` (and a core file with
// `core`), starts two named worker threads and crashes in the main thread,
// or in the worker named `crashingThread` when that is not empty (it is
// then one of the two). Does not return.
[[noreturn]] void CrashWithWorkers(const std::string& directory, bool core,
                                   const std::string& crashingThread);

} // namespace zymwin
