#include "../ZymThread/ThreadPlatform.h"

#include "Zym/Handle.h"
#include "Zym/LastError.h"

#include <cerrno>
#include <new>
#include <process.h>
#include <windows.h>

namespace ZymThread::Platform {

struct SystemThread {
    Zym::Handle handle;
};

void SystemThreadDeleter::operator()(SystemThread* thread) const noexcept {
    delete thread;
}

namespace {

// What _beginthreadex hands the new thread: the entry and its argument.
struct Start {
    ThreadEntry entry;
    void* argument;
};

unsigned __stdcall RunStart(void* start) {
    const Start taken = *static_cast<Start*>(start);
    delete static_cast<Start*>(start);
    taken.entry(taken.argument);
    return 0;
}

} // namespace

SystemThreadPtr StartSystemThread(ThreadEntry entry, void* argument) noexcept {
    SystemThreadPtr started(new (std::nothrow) SystemThread{});
    auto* start = new (std::nothrow) Start{entry, argument};
    if (!started || !start) {
        delete start;
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    started->handle.Reset(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &RunStart, start, 0, nullptr)));
    if (started->handle.IsValid())
        return started;
    const unsigned long error =
        errno == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : Zym::Win32ErrorFromErrno(errno);
    delete start;
    ::SetLastError(error);
    return nullptr;
}

void JoinSystemThread(SystemThread& thread) noexcept {
    ::WaitForSingleObject(thread.handle.Get(), INFINITE);
    thread.handle.Close();
}

void DetachSystemThread(SystemThread& thread) noexcept {
    thread.handle.Close();
}

// Windows threads need nothing set up for the body.
struct BodyScope {};

void BodyScopeDeleter::operator()(BodyScope* scope) const noexcept {
    delete scope;
}

BodyScopePtr EnterBody(const std::string&) noexcept {
    return nullptr;
}

} // namespace ZymThread::Platform
