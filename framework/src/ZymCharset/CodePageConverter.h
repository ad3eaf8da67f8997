#pragma once

#include <ZymCharset/Conv.h>

#include <cstddef>
#include <memory>

namespace ZymCharset::Platform {

// The system's converter between one code page and 16-bit units of a given
// byte order. A converter carries the shift state of the text it converts,
// so it serves one thread at a time.
class CodePageConverter {
public:
    enum class Status {
        Done,       // all input converted
        Full,       // the output area is full
        Incomplete, // the input ends inside a character
        Invalid,    // the input holds a sequence that cannot be converted
    };

    // From code page `from` to 16-bit units, and from 16-bit units to code
    // page `to`; null when the system cannot convert that code page.
    static std::unique_ptr<CodePageConverter> OpenDecoder(Zym::CHARSET from, bool littleEndian);
    static std::unique_ptr<CodePageConverter> OpenEncoder(Zym::CHARSET to, bool littleEndian);
    virtual ~CodePageConverter() = default;

    // Converts as much as fits; advances the four arguments past what was
    // consumed and produced.
    virtual Status Convert(const unsigned char*& in, std::size_t& inLeft, unsigned char*& out,
                           std::size_t& outLeft) = 0;
    // Writes the sequence that returns the output to its initial shift state
    // and resets the converter; Full when that sequence does not fit.
    virtual Status Finish(unsigned char*& out, std::size_t& outLeft) = 0;
    // Forgets any shift state without writing anything.
    virtual void Reset() = 0;
};

} // namespace ZymCharset::Platform
