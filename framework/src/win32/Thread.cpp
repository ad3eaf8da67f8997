#include "ZymThread/Thread.h"

#include "Zym/Exception.h"
#include "Zym/Handle.h"
#include "Zym/LastError.h"
#include "ZymCharset/Utf.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <mutex>
#include <process.h>
#include <windows.h>

namespace ZymThread {

struct Thread::State {
    std::string name;
    Zym::SmartPtr<Function> function;
    void* argument = nullptr;
    Zym::Handle handle;

    mutable std::mutex lock; // guards the fields below
    bool started = false;
    bool running = false;
    bool endedByException = false;
    void* result = nullptr;

    std::mutex joinLock; // one joiner at a time; guards `joined`
    bool joined = false;
};

namespace {

// The state of the body that runs on this thread, if any: how a release
// of the last reference knows that it comes from the body's own thread.
thread_local const void* t_RunningState = nullptr;

// Running threads' names by system thread id, readable without a lock
// (a crash report reads it while the process is in a bad state). A slot is
// claimed by swapping its id from 0; the name is published after the id
// and withdrawn before it.
struct NameSlot {
    std::atomic<unsigned long> threadId{0};
    std::atomic<const std::string*> name{nullptr};
};
constexpr std::size_t NAME_SLOTS = 1024;
NameSlot g_NameSlots[NAME_SLOTS];

NameSlot* PublishName(const std::string& name) noexcept {
    const auto self = static_cast<unsigned long>(::GetCurrentThreadId());
    for (NameSlot& slot : g_NameSlots) {
        unsigned long expected = 0;
        if (slot.threadId.compare_exchange_strong(expected, self)) {
            slot.name.store(&name);
            return &slot;
        }
    }
    return nullptr;
}

// Withdraws the name however the body ends.
struct PublishedName {
    NameSlot* slot;
    explicit PublishedName(const std::string& name) noexcept : slot(PublishName(name)) {}
    ~PublishedName() {
        if (slot == nullptr)
            return;
        slot->name.store(nullptr);
        slot->threadId.store(0);
    }
    PublishedName(const PublishedName&) = delete;
    PublishedName& operator=(const PublishedName&) = delete;
};

void ReportEscapedException(const std::string& name, const std::string& what) {
    std::fprintf(stderr, "Thread \"%s\" ended by an exception: %s\n", name.c_str(), what.c_str());
}

} // namespace

Thread::Thread(const std::string& name, const Zym::SmartPtr<Function>& function)
    : m_Name(name), m_Function(function), m_State(std::make_shared<State>()) {
    if (!function) {
        Zym::SetLastError(ERROR_INVALID_PARAMETER);
        ThrowLastError();
    }
}

Thread::~Thread() {
    if (t_RunningState == m_State.get()) {
        // The body dropped the last reference: it cannot wait for itself.
        std::lock_guard guard(m_State->joinLock);
        if (!m_State->joined) {
            m_State->handle.Close();
            m_State->joined = true;
        }
        return;
    }
    Join();
}

struct ThreadStart {
    static unsigned __stdcall Run(void* state) {
        Thread::Body(state);
        return 0;
    }
};

void* Thread::Body(void* state) {
    // Owns the state until the body is done, whatever happens to the
    // Thread object meanwhile.
    const std::shared_ptr<State> self(std::move(*static_cast<std::shared_ptr<State>*>(state)));
    delete static_cast<std::shared_ptr<State>*>(state);
    t_RunningState = self.get();
    const PublishedName publishedName(self->name);

    void* result = nullptr;
    bool raised = true;
    try {
        result = self->function->Call(self->argument);
        raised = false;
    } catch (const Zym::BaseException& error) {
        ReportEscapedException(self->name, error.WhatUtf8());
    } catch (const std::exception& error) {
        ReportEscapedException(self->name, error.what());
    } catch (...) {
        ReportEscapedException(self->name, "an exception of unknown type");
    }
    {
        std::lock_guard guard(self->lock);
        self->running = false;
        self->endedByException = raised;
        self->result = result;
    }
    t_RunningState = nullptr;
    return result;
}

void Thread::Run(void* argument) {
    State& state = *m_State;
    {
        std::lock_guard guard(state.lock);
        if (state.started) {
            Zym::SetLastError(ERROR_BUSY);
            ThrowLastError();
        }
        state.started = true;
        state.running = true;
    }
    state.name = m_Name;
    state.function = m_Function;
    state.argument = argument;
    auto* handOver = new std::shared_ptr<State>(m_State);
    state.handle.Reset(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &ThreadStart::Run, handOver, 0, nullptr)));
    if (!state.handle.IsValid()) {
        const unsigned long error =
            errno == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : Zym::Win32ErrorFromErrno(errno);
        delete handOver;
        {
            std::lock_guard guard(state.lock);
            state.started = false;
            state.running = false;
        }
        Zym::SetLastError(error);
        ThrowLastError();
    }
}

void Thread::Join() {
    State& state = *m_State;
    if (t_RunningState == &state)
        return;
    {
        std::lock_guard guard(state.lock);
        if (!state.started)
            return;
    }
    std::lock_guard guard(state.joinLock);
    if (!state.joined) {
        ::WaitForSingleObject(state.handle.Get(), INFINITE);
        state.handle.Close();
        state.joined = true;
    }
}

bool Thread::IsRunning() const noexcept {
    std::lock_guard guard(m_State->lock);
    return m_State->running;
}

void* Thread::Result() const noexcept {
    std::lock_guard guard(m_State->lock);
    return m_State->result;
}

bool FindThreadName(unsigned long threadId, std::string& name) {
    for (const NameSlot& slot : g_NameSlots) {
        if (slot.threadId.load() != threadId)
            continue;
        if (const std::string* published = slot.name.load()) {
            name = *published;
            return true;
        }
    }
    return false;
}

bool Thread::EndedByException() const noexcept {
    std::lock_guard guard(m_State->lock);
    return m_State->endedByException;
}

} // namespace ZymThread
