#pragma once

#include <cstddef>
#include <memory>

namespace ZymCharset::Platform {

// One conversion descriptor of the system's converter library. A descriptor
// carries the shift state of the text it converts, so it serves one thread
// at a time.
class Iconv {
public:
    enum class Status {
        Done,       // all input converted
        Full,       // the output area is full
        Incomplete, // the input ends inside a character
        Invalid,    // the input holds a sequence that cannot be converted
    };

    // Null when the system cannot convert between the two names.
    static std::unique_ptr<Iconv> Open(const char* toName, const char* fromName);
    virtual ~Iconv() = default;

    // Converts as much as fits; advances the four arguments past what was
    // consumed and produced.
    virtual Status Convert(const unsigned char*& in, std::size_t& inLeft, unsigned char*& out,
                           std::size_t& outLeft) = 0;
    // Writes the sequence that returns the output to its initial shift state
    // and resets the descriptor; Full when that sequence does not fit.
    virtual Status Finish(unsigned char*& out, std::size_t& outLeft) = 0;
    // Forgets any shift state without writing anything.
    virtual void Reset() = 0;
};

} // namespace ZymCharset::Platform
