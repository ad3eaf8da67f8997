#include "ZymThread/Thread.h"

#include "StartAsProcess.h"

#include "Zym/Exception.h"
#include "Zym/LastError.h"
#include "ZymThread/MessageQueue.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <mutex>
#include <thread>

namespace ZymThread {

struct Thread::State {
    std::string name;
    Zym::SmartPtr<Function> function;
    void* argument = nullptr;
    Platform::SystemThreadPtr handle;

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
// and withdrawn before it. A reader counts itself in before it takes the
// name, and a withdrawing thread waits until no reader is left, so the
// string stays alive while it is copied.
struct NameSlot {
    std::atomic<unsigned long> threadId{0};
    std::atomic<const std::string*> name{nullptr};
    std::atomic<int> readers{0};
};
constexpr std::size_t NAME_SLOTS = 1024;
NameSlot g_NameSlots[NAME_SLOTS];

NameSlot* PublishName(const std::string& name) noexcept {
    const unsigned long self = GetCurrentThreadId();
    for (NameSlot& slot : g_NameSlots) {
        unsigned long expected = 0;
        if (slot.threadId.compare_exchange_strong(expected, self)) {
            slot.name.store(&name);
            return &slot;
        }
    }
    return nullptr;
}

// Withdraws the name however the body ends, a thread cancellation included.
struct PublishedName {
    NameSlot* slot;
    explicit PublishedName(const std::string& name) noexcept : slot(PublishName(name)) {}
    ~PublishedName() {
        if (slot == nullptr)
            return;
        slot->name.store(nullptr);
        while (slot->readers.load() != 0)
            std::this_thread::yield();
        slot->threadId.store(0);
    }
    PublishedName(const PublishedName&) = delete;
    PublishedName& operator=(const PublishedName&) = delete;
};

// Calls `copy` with the name of the running thread `threadId` while that
// name cannot be withdrawn; false when there is none.
template <class Copy> bool ReadName(unsigned long threadId, Copy copy) noexcept {
    for (NameSlot& slot : g_NameSlots) {
        if (slot.threadId.load() != threadId)
            continue;
        slot.readers.fetch_add(1);
        const std::string* published = slot.name.load();
        // The slot may have changed hands between the two looks at its id.
        const bool found = published != nullptr && slot.threadId.load() == threadId;
        if (found)
            copy(*published);
        slot.readers.fetch_sub(1);
        if (found)
            return true;
    }
    return false;
}

void ReportEscapedException(const std::string& name, const std::string& what) {
    std::fprintf(stderr, "Thread \"%s\" ended by an exception: %s\n", name.c_str(), what.c_str());
}

} // namespace

Thread::Thread(const std::string& name, const Zym::SmartPtr<Function>& function)
    : m_Name(name), m_Function(function), m_State(std::make_shared<State>()) {
    if (!function) {
        Zym::SetLastError(Zym::ERROR_INVALID_PARAMETER);
        ThrowLastError();
    }
}

Thread::~Thread() {
    if (t_RunningState == m_State.get()) {
        // The body dropped the last reference: it cannot wait for itself.
        std::lock_guard guard(m_State->joinLock);
        if (!m_State->joined) {
            Platform::DetachSystemThread(*m_State->handle);
            m_State->joined = true;
        }
        return;
    }
    Join();
}

void* Thread::Body(void* state) {
    // Owns the state until the body is done, whatever happens to the
    // Thread object meanwhile.
    const std::shared_ptr<State> self(std::move(*static_cast<std::shared_ptr<State>*>(state)));
    delete static_cast<std::shared_ptr<State>*>(state);
    t_RunningState = self.get();
    const Platform::BodyScopePtr scope = Platform::EnterBody(self->name);
    const PublishedName publishedName(self->name);

    void* result = nullptr;
    bool raised = true;
    try {
        result = self->function->Call(self->argument);
        raised = false;
    } catch (abi::__forced_unwind&) {
        // A cancelled thread unwinds through here: let it.
        throw;
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
            Zym::SetLastError(Zym::ERROR_BUSY);
            ThrowLastError();
        }
        state.started = true;
        state.running = true;
    }
    state.name = m_Name;
    state.function = m_Function;
    state.argument = argument;
    auto* handOver = new std::shared_ptr<State>(m_State);
    state.handle = StartThreadAsProcess(&Thread::Body, handOver);
    if (!state.handle) {
        delete handOver;
        {
            std::lock_guard guard(state.lock);
            state.started = false;
            state.running = false;
        }
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
        Platform::JoinSystemThread(*state.handle);
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
    std::string copied;
    // The copy may allocate; it is made before the name can go away.
    if (!ReadName(threadId, [&](const std::string& published) { copied = published; }))
        return false;
    name = std::move(copied);
    return true;
}

bool FindThreadName(unsigned long threadId, char* name, std::size_t size) noexcept {
    if (size == 0)
        return false;
    return ReadName(threadId, [&](const std::string& published) {
        const std::size_t length = std::min(published.size(), size - 1);
        std::memcpy(name, published.data(), length);
        name[length] = '\0';
    });
}

bool Thread::EndedByException() const noexcept {
    std::lock_guard guard(m_State->lock);
    return m_State->endedByException;
}

} // namespace ZymThread
