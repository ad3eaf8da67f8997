#pragma once

#include <Zym/Export.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <cstddef>
#include <memory>
#include <string>

namespace ZymThread {

// A thread body.
class ZYM_EXPORT Function : public Zym::SPRefCounter {
public:
    virtual void* Call(void* argument) = 0;
};

// Binds an object's member function `void* (C::*)(void*)` and an argument.
// The member gets the argument given to Thread::Run when that one is not
// null, else the one bound here.
template <class C> class FunctionT : public Function {
public:
    using Member = void* (C::*)(void*);
    FunctionT(C* object, Member member, void* argument = nullptr)
        : m_Object(object), m_Member(member), m_Argument(argument) {}
    void* Call(void* argument) override {
        return (m_Object->*m_Member)(argument ? argument : m_Argument);
    }

private:
    C* m_Object;
    Member m_Member;
    void* m_Argument;
};

// A named thread. The name reaches the system where it shows thread names
// (Linux keeps 15 bytes of it). Run starts the body once; releasing
// the last reference to a started thread waits until the body has returned,
// unless the body's own thread drops that reference, in which case the
// thread is detached and finishes on its own.
//
// Where the system has signals, the body runs with an alternate signal stack
// of 64 KB, so that a fatal-signal handler still runs after the thread's
// stack has overflowed.
//
// An exception that escapes a body ends that thread only: the thread
// writes one line naming itself and the exception to stderr, and
// EndedByException() tells so afterwards. The process goes on.
class ZYM_EXPORT Thread : public Zym::SPRefCounter {
public:
    // Raises through ThrowLastError when `function` is null (87).
    Thread(const std::string& name, const Zym::SmartPtr<Function>& function);
    ~Thread() override;

    // Raises through ThrowLastError when the thread cannot be started or
    // was started before (170).
    void Run(void* argument = nullptr);
    // Waits until the body has returned; at once if it never started or
    // when called from the body's own thread.
    void Join();
    // True from Run until the body has returned.
    bool IsRunning() const noexcept;
    const std::string& Name() const noexcept { return m_Name; }
    // The body's return value once it has returned (null if it raised).
    void* Result() const noexcept;
    bool EndedByException() const noexcept;

private:
    struct State;
    static void* Body(void* state);

    std::string m_Name;
    Zym::SmartPtr<Function> m_Function;
    // Shared with the running thread, which may outlive this object when
    // it released the last reference itself.
    std::shared_ptr<State> m_State;
};

// The full name of the running framework thread whose system thread id is
// `threadId`. False when no running Thread has that id (or when more
// threads run than the name table holds), leaving `name` as it was. Safe
// to call while other threads start and end.
ZYM_EXPORT bool FindThreadName(unsigned long threadId, std::string& name);
// The same into `name`, cut to `size` - 1 bytes and NUL-terminated, without
// allocating: a fatal-signal handler may call it.
ZYM_EXPORT bool FindThreadName(unsigned long threadId, char* name, std::size_t size) noexcept;

// Raises Zym::Exception with the text of the calling thread's last error.
[[noreturn]] ZYM_EXPORT void ThrowLastError();

} // namespace ZymThread
