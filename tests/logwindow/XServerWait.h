#pragma once

#include <chrono>
#include <thread>

namespace logwindowtest {

template <class Condition> bool Eventually(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        // The window thread draws on its own time; look again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace logwindowtest
