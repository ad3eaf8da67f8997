#include "ZymMem/MemoryPool.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace ZymMem {

namespace {

// Each block starts with its size, padded so that what follows keeps the
// strictest alignment.
struct alignas(std::max_align_t) BlockHeader {
    std::size_t size;
};

std::atomic<std::size_t> g_Current{0};
std::atomic<std::size_t> g_Peak{0};

void Count(std::size_t size) noexcept {
    const std::size_t now = g_Current.fetch_add(size, std::memory_order_relaxed) + size;
    std::size_t peak = g_Peak.load(std::memory_order_relaxed);
    while (now > peak && !g_Peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

} // namespace

void* MemoryPool::New(std::size_t size) {
    if (size > SIZE_MAX - sizeof(BlockHeader))
        throw std::bad_alloc();
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (header == nullptr)
        throw std::bad_alloc();
    header->size = size;
    Count(size);
    return header + 1;
}

void MemoryPool::Delete(void* block) noexcept {
    if (block == nullptr)
        return;
    auto* header = static_cast<BlockHeader*>(block) - 1;
    g_Current.fetch_sub(header->size, std::memory_order_relaxed);
    std::free(header);
}

void ZymGetMemoryAllocated(std::size_t& current, std::size_t& peak) noexcept {
    current = g_Current.load(std::memory_order_relaxed);
    peak = g_Peak.load(std::memory_order_relaxed);
}

} // namespace ZymMem
