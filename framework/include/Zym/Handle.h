#pragma once

#include <Zym/Export.h>

#include <utility>

namespace Zym {

// What the system hands out for an open object: a HANDLE on Windows, a
// file descriptor elsewhere.
#if defined(_WIN32)
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

// Owns a system handle and closes it once. Both of the system's "no handle"
// values count as invalid (Windows calls return a null handle or
// INVALID_HANDLE_VALUE, depending on the call).
class ZYM_EXPORT Handle {
public:
    Handle() noexcept = default;
    explicit Handle(NativeHandle handle) noexcept : m_Handle(handle) {}
    Handle(Handle&& other) noexcept : m_Handle(std::exchange(other.m_Handle, Invalid())) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Close();
            m_Handle = std::exchange(other.m_Handle, Invalid());
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    // The value that stands for no handle.
    static NativeHandle Invalid() noexcept;

    NativeHandle Get() const noexcept { return m_Handle; }
    bool IsValid() const noexcept;
    // Gives up ownership without closing.
    NativeHandle Release() noexcept { return std::exchange(m_Handle, Invalid()); }
    void Reset(NativeHandle handle = Invalid()) noexcept {
        Close();
        m_Handle = handle;
    }
    void Close() noexcept;

private:
    NativeHandle m_Handle = Invalid();
};

} // namespace Zym
