#include "ZymFile/MemoryBuffer.h"

#include "ZymFile/Seek.h"

#include <cstring>
#include <limits>

namespace ZymFile {

MemoryBuffer::MemoryBuffer(unsigned int initialSize) {
    m_Data.reserve(initialSize);
}

unsigned int MemoryBuffer::vPut(const void* data, unsigned int n) {
    const unsigned int room = std::numeric_limits<unsigned int>::max() - m_PutPos;
    if (n > room)
        n = room;
    if (m_PutPos + n > m_Data.size())
        m_Data.resize(m_PutPos + n);
    if (n > 0)
        std::memcpy(m_Data.data() + m_PutPos, data, n);
    m_PutPos += n;
    return n;
}

unsigned int MemoryBuffer::vSeekP(std::int64_t offset, Zym::SeekDir dir) {
    m_PutPos = ResolveSeek(m_PutPos, vSize(), offset, dir);
    return m_PutPos;
}

unsigned int MemoryBuffer::vGet(void* data, unsigned int n) {
    const unsigned int left = m_GetPos < m_Data.size() ? vSize() - m_GetPos : 0;
    if (n > left)
        n = left;
    if (n > 0)
        std::memcpy(data, m_Data.data() + m_GetPos, n);
    m_GetPos += n;
    return n;
}

unsigned int MemoryBuffer::vSeekG(std::int64_t offset, Zym::SeekDir dir) {
    m_GetPos = ResolveSeek(m_GetPos, vSize(), offset, dir);
    return m_GetPos;
}

void MemoryBuffer::vClear() {
    m_Data.clear();
    m_PutPos = m_GetPos = 0;
}

void MemoryBuffer::vClearMemory() {
    std::vector<unsigned char>().swap(m_Data);
    m_PutPos = m_GetPos = 0;
}

void MemoryBuffer::vClearEnd() {
    m_Data.resize(m_PutPos);
    if (m_GetPos > m_PutPos)
        m_GetPos = m_PutPos;
}

} // namespace ZymFile
