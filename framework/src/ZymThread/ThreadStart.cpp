#include "ZymThread/ThreadStart.h"

#include "StartAsProcess.h"

#include <atomic>

namespace ZymThread {

namespace {

std::atomic<bool (*)() noexcept> g_Before{nullptr};
std::atomic<void (*)() noexcept> g_After{nullptr};

} // namespace

void SetThreadStartHooks(const ThreadStartHooks& hooks) noexcept {
    g_Before.store(hooks.before);
    g_After.store(hooks.after);
}

Platform::SystemThreadPtr StartThreadAsProcess(Platform::ThreadEntry entry,
                                               void* argument) noexcept {
    if (const auto before = g_Before.load(); before && !before())
        return nullptr;
    Platform::SystemThreadPtr thread = Platform::StartSystemThread(entry, argument);
    if (const auto after = g_After.load())
        after();
    return thread;
}

} // namespace ZymThread
