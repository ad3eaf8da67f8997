#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace ZymDumpHelper {

// Reads a stopped process's memory through /proc/PID/mem, keeping the last
// page read, since unwinding reads neighbouring words of one stack.
class ProcessMemory {
public:
    explicit ProcessMemory(pid_t processId);
    ~ProcessMemory();
    ProcessMemory(const ProcessMemory&) = delete;
    ProcessMemory& operator=(const ProcessMemory&) = delete;

    bool ReadWord(std::uint64_t address, std::uint64_t& word);
    // Drops the page kept: its memory may have changed since.
    void Forget() { m_CachedPage = 1; }
    // Reads up to `size` bytes; the count read (short where memory ends).
    std::size_t Read(std::uint64_t address, void* buffer, std::size_t size);

private:
    static constexpr std::size_t PAGE = 4096;
    int m_File;
    std::uint64_t m_CachedPage = 1; // no page starts at 1
    unsigned char m_Cache[PAGE];
};

} // namespace ZymDumpHelper
