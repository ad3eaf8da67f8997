#pragma once

#include <ZymWindows/Service.h>

#include <memory>

namespace zymwin {

// Stops a service running on this terminal when the user presses Ctrl-C or
// the system asks the program to end, for as long as the object lives.
// Raises UsageError when the program cannot watch for those requests.
class StopOnSignal {
public:
    explicit StopOnSignal(ZymWindows::BasicService& service);
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

private:
    class Watcher;
    std::unique_ptr<Watcher> m_Watcher;
};

} // namespace zymwin
