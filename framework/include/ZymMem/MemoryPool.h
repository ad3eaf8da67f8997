#pragma once

#include <Zym/Export.h>

#include <cstddef>

namespace ZymMem {

// The framework's allocator. It counts the bytes its callers asked for, so
// a report can tell how much memory the framework's objects hold.
class ZYM_EXPORT MemoryPool {
public:
    // Memory for `size` bytes, aligned for any type; a distinct block even
    // for 0 bytes. Raises std::bad_alloc when there is no memory.
    static void* New(std::size_t size);
    // Gives back a block from New; null is ignored.
    static void Delete(void* block) noexcept;
};

// The bytes of the pool's blocks that are live now, and the most that have
// been live at once since the process started.
ZYM_EXPORT void ZymGetMemoryAllocated(std::size_t& current, std::size_t& peak) noexcept;

} // namespace ZymMem
