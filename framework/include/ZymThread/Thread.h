#pragma once

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <string>

namespace ZymThread {

// A thread body.
class Function : public Zym::SPRefCounter {
public:
    virtual void* Call(void* argument) = 0;
};

// Binds an object's member function `void* (C::*)(void*)` and its argument.
template <class C> class FunctionT : public Function {
public:
    using Member = void* (C::*)(void*);
    FunctionT(C* object, Member member, void* argument = nullptr)
        : m_Object(object), m_Member(member), m_Argument(argument) {}
    void* Call(void*) override { return (m_Object->*m_Member)(m_Argument); }

private:
    C* m_Object;
    Member m_Member;
    void* m_Argument;
};

// A named thread. The name reaches the OS (truncated to what it allows).
// Run starts the body; releasing the last reference to a started thread
// waits until the body has returned.
class Thread : public Zym::SPRefCounter {
public:
    Thread(const std::string& name, const Zym::SmartPtr<Function>& function);
    ~Thread() override;

    // Raises through ThrowLastError when the thread cannot be started.
    void Run(void* argument = nullptr);
    // Waits until the body has returned; at once if it never started.
    void Join();
    bool IsRunning() const noexcept;
    const std::string& Name() const noexcept { return m_Name; }
    // The body's return value, once it has returned.
    void* Result() const noexcept { return m_Result; }

private:
    struct State;
    std::string m_Name;
    Zym::SmartPtr<Function> m_Function;
    State* m_State;
    void* m_Result = nullptr;
};

// Raises Zym::Exception with the text of the calling thread's last error.
[[noreturn]] void ThrowLastError();

} // namespace ZymThread
