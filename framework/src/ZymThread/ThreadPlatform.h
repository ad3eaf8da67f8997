#pragma once

#include <memory>
#include <string>

// The system side of ZymThread::Thread: starting, joining and detaching a
// system thread, and what a body's thread sets up before the body runs.
namespace ZymThread::Platform {

using ThreadEntry = void* (*)(void*);

// A started system thread until it is joined or detached.
struct SystemThread;
struct SystemThreadDeleter {
    void operator()(SystemThread* thread) const noexcept;
};
using SystemThreadPtr = std::unique_ptr<SystemThread, SystemThreadDeleter>;

// Runs `entry(argument)` on a new thread; null with the thread's last error
// set when the system cannot start one (8 when it lacks the resources).
SystemThreadPtr StartSystemThread(ThreadEntry entry, void* argument) noexcept;
// Waits until the thread has ended.
void JoinSystemThread(SystemThread& thread) noexcept;
// Lets the thread end on its own; called from the thread itself.
void DetachSystemThread(SystemThread& thread) noexcept;

// What the body's thread keeps while the body runs: the thread's name where
// the system shows it, a signal stack where the system has signals.
struct BodyScope;
struct BodyScopeDeleter {
    void operator()(BodyScope* scope) const noexcept;
};
using BodyScopePtr = std::unique_ptr<BodyScope, BodyScopeDeleter>;
BodyScopePtr EnterBody(const std::string& name) noexcept;

} // namespace ZymThread::Platform
