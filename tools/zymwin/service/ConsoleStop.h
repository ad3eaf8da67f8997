#pragma once

#include <ZymWindows/Service.h>

#include <memory>

namespace zymwin {

// Stops a service that runs on the console when the user asks: Ctrl-C, or
// on Linux SIGTERM. Made before the service starts any thread.
class ConsoleStop {
public:
    explicit ConsoleStop(ZymWindows::BasicService& service);
    ~ConsoleStop();
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;

private:
    struct Waiter;
    std::unique_ptr<Waiter> m_Waiter;
};

// The help text of `zymwin service`, which names this system's manager.
extern const char* const SERVICE_USAGE;

} // namespace zymwin
