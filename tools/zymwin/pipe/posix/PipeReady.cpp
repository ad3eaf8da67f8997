#include "pipe/PipeReady.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace zymwin {

namespace {

constexpr auto READY_TIMEOUT = std::chrono::seconds(5);
constexpr auto READY_POLL = std::chrono::milliseconds(1);

} // namespace

std::string PipeDirectory() {
    const char* directory = std::getenv("ZYM_PIPE_DIR");
    return directory && *directory ? directory : "/tmp/.zym-pipe";
}

bool WaitUntilPipeExists(const std::string& name) {
    const std::filesystem::path socket = std::filesystem::path(PipeDirectory()) / name;
    const auto deadline = std::chrono::steady_clock::now() + READY_TIMEOUT;
    std::error_code error;
    while (!std::filesystem::is_socket(socket, error)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(READY_POLL);
    }
    return true;
}

} // namespace zymwin
