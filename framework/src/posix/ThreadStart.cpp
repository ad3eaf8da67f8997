#include "ThreadStart.h"

#include "ZymThread/ThreadStart.h"

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

int CreateThreadAsProcess(pthread_t* thread, void* (*body)(void*), void* argument) noexcept {
    if (const auto before = g_Before.load(); before && !before())
        return -1;
    const int error = pthread_create(thread, nullptr, body, argument);
    if (const auto after = g_After.load())
        after();
    return error;
}

} // namespace ZymThread
