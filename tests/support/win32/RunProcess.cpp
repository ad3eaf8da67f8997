#include "TestFiles.h"

#include "Win32Process.h"

#include <cstdio>
#include <memory>

namespace zymtest {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input) {
    // The standard streams go through files, so that no pipe can fill up.
    const ScratchDirectory streams;
    const auto inPath = streams.Path() / "in", outPath = streams.Path() / "out",
               errPath = streams.Path() / "err";
    WriteFile(inPath, input);
    const OwnedHandle in = OpenForReading(inPath), out = OpenForWriting(outPath),
                      err = OpenForWriting(errPath);
    const OwnedHandle process = StartProcess(argv, true, {}, in.Get(), out.Get(), err.Get());
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    // Windows has no signals: a process ends only with an exit code.
    return {static_cast<int>(code), ReadFile(outPath), ReadFile(errPath), 0};
}

std::string CommandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(_popen(("(" + command + ") 2>&1").c_str(), "rb"),
                                               _pclose);
    return ReadRest(pipe.get());
}

} // namespace zymtest
