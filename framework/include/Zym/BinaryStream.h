#pragma once

#include "Zym/BinaryStreamBuf.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

namespace Zym {

// Typed reads and writes over a byte buffer. Integers go out little-endian
// in their own width, bool as one byte, floating point as IEEE 754
// little-endian. Strings carry a 16-bit count, or 65535 followed by a 32-bit
// count, then their units (bytes for string, UTF-16LE for u16string).
template <class T> class BinaryStreamT {
public:
    explicit BinaryStreamT(BinaryStreamBufT<T>& buffer) : m_Buffer(buffer) {}

    BinaryStreamBufT<T>& Buffer() const noexcept { return m_Buffer; }

    void Write(const void* data, T n) { m_Buffer.Put(data, n); }
    void Read(void* data, T n) { m_Buffer.Get(data, n); }

    template <class I>
    requires std::is_integral_v<I> BinaryStreamT& operator<<(I value) {
        using U = std::make_unsigned_t<I>;
        unsigned char bytes[sizeof(I)];
        auto bits = static_cast<U>(value);
        for (std::size_t i = 0; i < sizeof(I); ++i, bits = static_cast<U>(bits >> 4 >> 4))
            bytes[i] = static_cast<unsigned char>(bits & 0xFF);
        Write(bytes, sizeof(I));
        return *this;
    }
    template <class I>
    requires std::is_integral_v<I> BinaryStreamT& operator>>(I& value) {
        using U = std::make_unsigned_t<I>;
        unsigned char bytes[sizeof(I)];
        Read(bytes, sizeof(I));
        U bits = 0;
        for (std::size_t i = sizeof(I); i-- > 0;)
            bits = static_cast<U>((bits << 4 << 4) | bytes[i]);
        value = static_cast<I>(bits);
        return *this;
    }
    BinaryStreamT& operator<<(bool value) { return *this << static_cast<std::uint8_t>(value); }
    BinaryStreamT& operator>>(bool& value) {
        std::uint8_t byte = 0;
        *this >> byte;
        value = byte != 0;
        return *this;
    }
    BinaryStreamT& operator<<(float value) { return *this << std::bit_cast<std::uint32_t>(value); }
    BinaryStreamT& operator>>(float& value) { return ReadBits<std::uint32_t>(value); }
    BinaryStreamT& operator<<(double value) { return *this << std::bit_cast<std::uint64_t>(value); }
    BinaryStreamT& operator>>(double& value) { return ReadBits<std::uint64_t>(value); }

    BinaryStreamT& operator<<(const std::string& text) {
        WriteCount(text.size());
        Write(text.data(), static_cast<T>(text.size()));
        return *this;
    }
    BinaryStreamT& operator<<(const char* text) { return *this << std::string(text ? text : ""); }
    BinaryStreamT& operator>>(std::string& text) {
        text.clear();
        ReadPieces(ReadCount(), [&](const unsigned char* bytes, std::size_t n) {
            text.append(reinterpret_cast<const char*>(bytes), n);
        });
        return *this;
    }
    BinaryStreamT& operator<<(const std::u16string& text) {
        WriteCount(text.size());
        for (char16_t unit : text)
            *this << static_cast<std::uint16_t>(unit);
        return *this;
    }
    BinaryStreamT& operator<<(const char16_t* text) {
        return *this << std::u16string(text ? text : u"");
    }
    BinaryStreamT& operator>>(std::u16string& text) {
        text.clear();
        ReadPieces(std::uint64_t{2} * ReadCount(), [&](const unsigned char* bytes, std::size_t n) {
            for (std::size_t i = 0; i + 1 < n; i += 2)
                text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        });
        return *this;
    }

private:
    static constexpr std::uint16_t LONG_COUNT = 0xFFFF;

    void WriteCount(std::size_t count) {
        if (count > std::numeric_limits<std::uint32_t>::max())
            throw BinaryStreamPutEOFException(u"String too long for the stream.");
        if (count < LONG_COUNT) {
            *this << static_cast<std::uint16_t>(count);
        } else {
            *this << LONG_COUNT << static_cast<std::uint32_t>(count);
        }
    }
    std::uint32_t ReadCount() {
        std::uint16_t shortCount = 0;
        *this >> shortCount;
        if (shortCount != LONG_COUNT)
            return shortCount;
        std::uint32_t count = 0;
        *this >> count;
        return count;
    }
    // Reads `left` bytes in bounded pieces, so that a damaged count costs no
    // more memory than the data actually holds.
    template <class Sink> void ReadPieces(std::uint64_t left, Sink&& sink) {
        unsigned char piece[4096];
        while (left > 0) {
            const auto n = static_cast<T>(std::min<std::uint64_t>(left, sizeof piece));
            Read(piece, n);
            sink(piece, n);
            left -= n;
        }
    }
    template <class Bits, class F> BinaryStreamT& ReadBits(F& value) {
        Bits bits = 0;
        *this >> bits;
        value = std::bit_cast<F>(bits);
        return *this;
    }

    BinaryStreamBufT<T>& m_Buffer;
};

using BinaryStream = BinaryStreamT<unsigned int>;

} // namespace Zym
