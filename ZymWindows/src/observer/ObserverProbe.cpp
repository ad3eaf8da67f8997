#include "observer/ObserverProbe.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace ZymWindows::ObserverProbe {

namespace {

std::atomic<bool> g_Installed{false};
std::mutex g_Lock;
std::shared_ptr<const Function> g_Function;

} // namespace

void Install(Function function) {
    std::lock_guard guard(g_Lock);
    g_Function = function ? std::make_shared<const Function>(std::move(function)) : nullptr;
    g_Installed = g_Function != nullptr;
}

void Reach(Point point, long sourceId, int state) noexcept {
    if (!g_Installed.load(std::memory_order_acquire))
        return;
    std::shared_ptr<const Function> function;
    {
        std::lock_guard guard(g_Lock);
        function = g_Function;
    }
    if (function)
        (*function)(point, sourceId, state);
}

} // namespace ZymWindows::ObserverProbe
