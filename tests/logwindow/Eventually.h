#pragma once

#include <chrono>
#include <thread>

namespace logwindowtest {

// Polls `condition` until it holds, for at most ten seconds: the window
// thread draws on its own time, and the screen says nothing when it has.
template <class Condition> bool Eventually(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace logwindowtest
