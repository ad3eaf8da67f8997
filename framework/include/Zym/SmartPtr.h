#pragma once

#include <cstddef>
#include <functional>
#include <utility>

namespace Zym {

// Intrusive pointer: the pointee provides AddRef and Release (Release deletes
// the object when the count reaches zero).
template <class T> class SmartPtr {
public:
    SmartPtr() noexcept = default;
    SmartPtr(std::nullptr_t) noexcept {}
    SmartPtr(T* p) noexcept : m_Ptr(p) { Acquire(); }
    SmartPtr(const SmartPtr& other) noexcept : m_Ptr(other.m_Ptr) { Acquire(); }
    SmartPtr(SmartPtr&& other) noexcept : m_Ptr(std::exchange(other.m_Ptr, nullptr)) {}
    template <class U> SmartPtr(const SmartPtr<U>& other) noexcept : m_Ptr(other.Get()) {
        Acquire();
    }
    ~SmartPtr() { Drop(); }

    SmartPtr& operator=(const SmartPtr& other) noexcept { return Assign(other.m_Ptr); }
    SmartPtr& operator=(SmartPtr&& other) noexcept {
        if (this != &other) {
            Drop();
            m_Ptr = std::exchange(other.m_Ptr, nullptr);
        }
        return *this;
    }
    SmartPtr& operator=(T* p) noexcept { return Assign(p); }

    T* Get() const noexcept { return m_Ptr; }
    T* operator->() const noexcept { return m_Ptr; }
    T& operator*() const noexcept { return *m_Ptr; }
    explicit operator bool() const noexcept { return m_Ptr != nullptr; }
    bool IsNull() const noexcept { return m_Ptr == nullptr; }
    void Reset() noexcept { Assign(nullptr); }

    friend bool operator==(const SmartPtr& a, const SmartPtr& b) noexcept {
        return a.m_Ptr == b.m_Ptr;
    }
    friend bool operator<(const SmartPtr& a, const SmartPtr& b) noexcept {
        return std::less<T*>()(a.m_Ptr, b.m_Ptr);
    }

private:
    void Acquire() noexcept {
        if (m_Ptr)
            m_Ptr->AddRef();
    }
    void Drop() noexcept {
        if (m_Ptr)
            std::exchange(m_Ptr, nullptr)->Release();
    }
    SmartPtr& Assign(T* p) noexcept {
        if (p)
            p->AddRef();
        Drop();
        m_Ptr = p;
        return *this;
    }

    T* m_Ptr = nullptr;
};

// The same for a pointee that the holder may only read.
template <class T> class SmartPtrToConst {
public:
    SmartPtrToConst() noexcept = default;
    SmartPtrToConst(std::nullptr_t) noexcept {}
    SmartPtrToConst(const T* p) noexcept : m_Ptr(p) {}
    SmartPtrToConst(const SmartPtr<T>& p) noexcept : m_Ptr(p.Get()) {}

    const T* Get() const noexcept { return m_Ptr.Get(); }
    const T* operator->() const noexcept { return m_Ptr.Get(); }
    const T& operator*() const noexcept { return *m_Ptr.Get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(m_Ptr); }
    bool IsNull() const noexcept { return m_Ptr.IsNull(); }
    void Reset() noexcept { m_Ptr.Reset(); }

    friend bool operator==(const SmartPtrToConst& a, const SmartPtrToConst& b) noexcept {
        return a.m_Ptr == b.m_Ptr;
    }
    friend bool operator<(const SmartPtrToConst& a, const SmartPtrToConst& b) noexcept {
        return a.m_Ptr < b.m_Ptr;
    }

private:
    SmartPtr<const T> m_Ptr;
};

} // namespace Zym
