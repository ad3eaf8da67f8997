#include "ZymFile/DiskBuffer.h"

#include "OSFile.h"
#include "ZymFile/Seek.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace ZymFile {

DiskBuffer::DiskBuffer(const std::string& directory, unsigned int blockSize,
                       unsigned int memoryLimit)
    : m_Directory(directory), m_BlockSize(std::max(blockSize, 1u)), m_MemoryLimit(memoryLimit) {}

unsigned int DiskBuffer::vPut(const void* data, unsigned int n) {
    n = std::min(n, std::numeric_limits<unsigned int>::max() - m_PutPos);
    const auto* bytes = static_cast<const unsigned char*>(data);
    const unsigned int inMemory =
        m_PutPos < m_MemoryLimit ? std::min(n, m_MemoryLimit - m_PutPos) : 0;
    if (inMemory > 0)
        PutInMemory(bytes, inMemory);
    if (n > inMemory)
        PutInFile(bytes + inMemory, n - inMemory);
    m_Size = std::max(m_Size, m_PutPos);
    return n;
}

void DiskBuffer::PutInMemory(const unsigned char* data, unsigned int n) {
    const std::size_t end = std::size_t{m_PutPos} + n;
    if (end > m_Memory.capacity()) {
        const std::size_t blocks = (end + m_BlockSize - 1) / m_BlockSize;
        m_Memory.reserve(std::min<std::size_t>(blocks * m_BlockSize, m_MemoryLimit));
    }
    if (end > m_Memory.size())
        m_Memory.resize(end);
    std::memcpy(m_Memory.data() + m_PutPos, data, n);
    m_PutPos += n;
}

void DiskBuffer::PutInFile(const unsigned char* data, unsigned int n) {
    if (!m_File.IsValid()) {
        m_File = OS::CreateAnonymousFile(m_Directory);
        if (!m_File.IsValid())
            throw Zym::BinaryStreamPutEOFException(Zym::GetLastErrorMessage(0));
    }
    if (!OS::WriteAt(m_File, data, n, m_PutPos - m_MemoryLimit))
        throw Zym::BinaryStreamPutEOFException(Zym::GetLastErrorMessage(0));
    m_PutPos += n;
}

unsigned int DiskBuffer::vSeekP(std::int64_t offset, Zym::SeekDir dir) {
    m_PutPos = ResolveSeek(m_PutPos, m_Size, offset, dir);
    return m_PutPos;
}

unsigned int DiskBuffer::vGet(void* data, unsigned int n) {
    n = std::min(n, m_Size - std::min(m_GetPos, m_Size));
    auto* bytes = static_cast<unsigned char*>(data);
    const unsigned int inMemory =
        m_GetPos < m_MemoryLimit ? std::min(n, m_MemoryLimit - m_GetPos) : 0;
    if (inMemory > 0)
        std::memcpy(bytes, m_Memory.data() + m_GetPos, inMemory);
    unsigned int done = inMemory;
    if (n > inMemory) {
        const std::int64_t got =
            OS::ReadAt(m_File, bytes + inMemory, n - inMemory, m_GetPos + inMemory - m_MemoryLimit);
        if (got < 0)
            throw Zym::BinaryStreamGetEOFException(Zym::GetLastErrorMessage(0));
        done += static_cast<unsigned int>(got);
    }
    m_GetPos += done;
    return done;
}

unsigned int DiskBuffer::vSeekG(std::int64_t offset, Zym::SeekDir dir) {
    m_GetPos = ResolveSeek(m_GetPos, m_Size, offset, dir);
    return m_GetPos;
}

void DiskBuffer::vClear() {
    m_Memory.clear();
    TruncateFile(0);
    m_Size = m_PutPos = m_GetPos = 0;
}

void DiskBuffer::vClearMemory() {
    std::vector<unsigned char>().swap(m_Memory);
    m_File.Close();
    m_Size = m_PutPos = m_GetPos = 0;
}

void DiskBuffer::vClearEnd() {
    m_Size = m_PutPos;
    m_Memory.resize(std::min(m_Size, m_MemoryLimit));
    TruncateFile(m_Size);
    m_GetPos = std::min(m_GetPos, m_Size);
}

void DiskBuffer::TruncateFile(unsigned int dataSize) {
    if (m_File.IsValid() &&
        !OS::Truncate(m_File, dataSize > m_MemoryLimit ? dataSize - m_MemoryLimit : 0))
        throw Zym::BinaryStreamPutEOFException(Zym::GetLastErrorMessage(0));
}

} // namespace ZymFile
