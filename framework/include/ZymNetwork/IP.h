#pragma once

#include <Zym/Export.h>

#include <cstdint>
#include <string>

namespace ZymNetwork {

// An IPv4 address.
class ZYM_EXPORT IP {
public:
    // 0.0.0.0.
    IP() = default;
    // The address whose first byte is the most significant one of `value`.
    explicit IP(std::uint32_t value) noexcept : m_Value(value) {}
    IP(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
    noexcept
        : m_Value(std::uint32_t{a} << 24 | std::uint32_t{b} << 16 | std::uint32_t{c} << 8 | d) {}

    // This machine's primary address: the one of the interface that carries
    // the default route, else that of any other interface that is up, never
    // a loopback one; 127.0.0.1 when the machine has no other.
    static IP GetMyIP();

    std::uint32_t Value() const noexcept { return m_Value; }
    // Dotted decimal, "192.168.1.20".
    std::string ToString() const;
    std::u16string ToWString() const;

    bool operator==(const IP& other) const = default;

private:
    std::uint32_t m_Value = 0;
};

} // namespace ZymNetwork
