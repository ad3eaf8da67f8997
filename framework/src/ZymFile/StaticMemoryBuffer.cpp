#include "ZymFile/StaticMemoryBuffer.h"

#include "ZymFile/Seek.h"

#include <cstring>

namespace ZymFile {

StaticMemoryBuffer::StaticMemoryBuffer(void* data, unsigned int size) noexcept
    : m_Writable(static_cast<unsigned char*>(data)), m_Data(m_Writable), m_Size(size) {}

StaticMemoryBuffer::StaticMemoryBuffer(const void* data, unsigned int size) noexcept
    : m_Writable(nullptr), m_Data(static_cast<const unsigned char*>(data)), m_Size(size) {}

unsigned int StaticMemoryBuffer::vPut(const void* data, unsigned int n) {
    if (!m_Writable)
        return 0;
    const unsigned int left = m_Size - m_PutPos;
    if (n > left)
        n = left;
    if (n > 0)
        std::memcpy(m_Writable + m_PutPos, data, n);
    m_PutPos += n;
    return n;
}

unsigned int StaticMemoryBuffer::vSeekP(std::int64_t offset, Zym::SeekDir dir) {
    m_PutPos = ResolveSeek(m_PutPos, m_Size, offset, dir);
    return m_PutPos;
}

unsigned int StaticMemoryBuffer::vGet(void* data, unsigned int n) {
    const unsigned int left = m_Size - m_GetPos;
    if (n > left)
        n = left;
    if (n > 0)
        std::memcpy(data, m_Data + m_GetPos, n);
    m_GetPos += n;
    return n;
}

unsigned int StaticMemoryBuffer::vSeekG(std::int64_t offset, Zym::SeekDir dir) {
    m_GetPos = ResolveSeek(m_GetPos, m_Size, offset, dir);
    return m_GetPos;
}

} // namespace ZymFile
