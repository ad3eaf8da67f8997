#include "../ZymThread/ThreadPlatform.h"

#include "AlternateSignalStack.h"

#include "Zym/LastError.h"

#include <cerrno>
#include <new>
#include <pthread.h>

namespace ZymThread::Platform {

struct SystemThread {
    pthread_t thread;
};

void SystemThreadDeleter::operator()(SystemThread* thread) const noexcept {
    delete thread;
}

SystemThreadPtr StartSystemThread(ThreadEntry entry, void* argument) noexcept {
    SystemThreadPtr started(new (std::nothrow) SystemThread{});
    if (!started) {
        Zym::SetLastError(Zym::ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const int error = pthread_create(&started->thread, nullptr, entry, argument);
    if (error == 0)
        return started;
    Zym::SetLastError(error == EAGAIN ? Zym::ERROR_NOT_ENOUGH_MEMORY
                                      : Zym::Win32ErrorFromErrno(error));
    return nullptr;
}

void JoinSystemThread(SystemThread& thread) noexcept {
    pthread_join(thread.thread, nullptr);
}

void DetachSystemThread(SystemThread& thread) noexcept {
    pthread_detach(thread.thread);
}

// The kernel keeps 15 bytes of a thread name (shown in
// /proc/self/task/*/comm); a cut never splits a UTF-8 sequence.
struct BodyScope {
    explicit BodyScope(const std::string& name) noexcept {
        constexpr std::size_t limit = 15;
        std::size_t end = name.size() <= limit ? name.size() : limit;
        if (end < name.size())
            while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
                --end;
        char shown[limit + 1] = {};
        name.copy(shown, end);
        pthread_setname_np(pthread_self(), shown);
    }
    const AlternateSignalStack signalStack;
};

void BodyScopeDeleter::operator()(BodyScope* scope) const noexcept {
    delete scope;
}

BodyScopePtr EnterBody(const std::string& name) noexcept {
    return BodyScopePtr(new (std::nothrow) BodyScope(name));
}

} // namespace ZymThread::Platform
