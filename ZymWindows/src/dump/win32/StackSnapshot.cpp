#include "dump/win32/StackSnapshot.h"

#include <cstring>

namespace ZymWindows::Platform {

namespace {

// Room for the stack to grow between measuring it and copying it.
constexpr std::size_t GROWTH_ALLOWANCE = 64 * 1024;
// A thread whose stack outgrows every allowance is left unwalked.
constexpr int COPY_ATTEMPTS = 4;

thread_local const StackSnapshot* t_Walked = nullptr;

} // namespace

bool StackSnapshot::CopyWhileSuspended(HANDLE thread, std::size_t& needed) {
    if (::SuspendThread(thread) == static_cast<DWORD>(-1))
        return false;
    m_Context = {};
    m_Context.ContextFlags = CONTEXT_FULL;
    MEMORY_BASIC_INFORMATION region{};
    // The committed pages around the stack pointer end at the stack's base.
    const bool read =
        ::GetThreadContext(thread, &m_Context) &&
        ::VirtualQuery(reinterpret_cast<const void*>(m_Context.Rsp), &region, sizeof region) != 0;
    if (read) {
        needed = static_cast<std::size_t>(reinterpret_cast<DWORD64>(region.BaseAddress) +
                                          region.RegionSize - m_Context.Rsp);
        if (needed <= m_Bytes.size()) {
            std::memcpy(m_Bytes.data(), reinterpret_cast<const void*>(m_Context.Rsp), needed);
            m_Start = m_Context.Rsp;
        }
    }
    ::ResumeThread(thread);
    return read;
}

bool StackSnapshot::Take(HANDLE thread) {
    for (int attempt = 0; attempt < COPY_ATTEMPTS; ++attempt) {
        std::size_t needed = 0;
        if (!CopyWhileSuspended(thread, needed))
            return false;
        if (needed <= m_Bytes.size()) {
            m_Bytes.resize(needed);
            return true;
        }
        // Allocated with the thread running.
        m_Bytes.resize(needed + GROWTH_ALLOWANCE);
    }
    return false;
}

BOOL CALLBACK StackSnapshot::ReadMemory(HANDLE process, DWORD64 address, void* buffer, DWORD size,
                                        DWORD* read) {
    const StackSnapshot* snapshot = t_Walked;
    if (snapshot != nullptr && address >= snapshot->m_Start &&
        address + size <= snapshot->m_Start + snapshot->m_Bytes.size()) {
        std::memcpy(buffer, snapshot->m_Bytes.data() + (address - snapshot->m_Start), size);
        *read = size;
        return TRUE;
    }
    SIZE_T done = 0;
    const BOOL copied =
        ::ReadProcessMemory(process, reinterpret_cast<const void*>(address), buffer, size, &done);
    *read = static_cast<DWORD>(done);
    return copied;
}

StackSnapshot::Walking::Walking(const StackSnapshot& snapshot) noexcept {
    t_Walked = &snapshot;
}

StackSnapshot::Walking::~Walking() {
    t_Walked = nullptr;
}

} // namespace ZymWindows::Platform
