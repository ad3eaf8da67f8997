#include "pipe/PipeReady.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace zymwin {

namespace {

constexpr auto READY_TIMEOUT = std::chrono::seconds(5);
constexpr auto READY_POLL = std::chrono::milliseconds(1);

} // namespace

std::string PipeDirectory() {
    return "\\\\.\\pipe";
}

bool WaitUntilPipeExists(const std::string& name) {
    const std::string path = PipeDirectory() + "\\" + name;
    const auto deadline = std::chrono::steady_clock::now() + READY_TIMEOUT;
    // A pipe without any instance is not found at once; one whose
    // instances are all busy exists.
    while (!::WaitNamedPipeA(path.c_str(), 1) && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(READY_POLL);
    }
    return true;
}

} // namespace zymwin
