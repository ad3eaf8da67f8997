#pragma once

#include <Zym/Export.h>

#include <utility>

namespace Zym {

// Owns a system handle (a file descriptor here) and closes it once.
class ZYM_EXPORT Handle {
public:
    static constexpr int INVALID = -1;

    Handle() noexcept = default;
    explicit Handle(int fd) noexcept : m_Fd(fd) {}
    Handle(Handle&& other) noexcept : m_Fd(std::exchange(other.m_Fd, INVALID)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Close();
            m_Fd = std::exchange(other.m_Fd, INVALID);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    int Get() const noexcept { return m_Fd; }
    bool IsValid() const noexcept { return m_Fd != INVALID; }
    // Gives up ownership without closing.
    int Release() noexcept { return std::exchange(m_Fd, INVALID); }
    void Reset(int fd = INVALID) noexcept {
        Close();
        m_Fd = fd;
    }
    void Close() noexcept;

private:
    int m_Fd = INVALID;
};

} // namespace Zym
