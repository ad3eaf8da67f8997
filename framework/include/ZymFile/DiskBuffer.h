#pragma once

#include <Zym/Export.h>

#include <Zym/BinaryStreamBuf.h>
#include <Zym/Handle.h>

#include <string>
#include <vector>

namespace ZymFile {

// A buffer for data of any size: the first `memoryLimit` bytes stay in
// memory, which grows `blockSize` bytes at a time; the bytes beyond go to a
// temporary file in `directory` (the system's temporary directory when
// empty). The file has no name on disk from the moment it is created, so it
// goes away with the buffer, or with the process if that dies first.
//
// Writes past the end extend the data; the data reads back from any offset.
// Clear drops the data and keeps the memory; ClearMemory also gives the
// memory and the temporary file back; ClearEnd drops the data after the put
// position. A failing temporary file raises BinaryStreamPutEOFException or
// BinaryStreamGetEOFException with the system's text.
class ZYM_EXPORT DiskBuffer : public Zym::BinaryStreamBuf {
public:
    DiskBuffer(const std::string& directory, unsigned int blockSize, unsigned int memoryLimit);

    // Whether some of the data lives in the temporary file.
    bool UsesFile() const noexcept { return m_File.IsValid(); }

protected:
    unsigned int vPut(const void* data, unsigned int n) override;
    unsigned int vTellP() const override { return m_PutPos; }
    unsigned int vSeekP(std::int64_t offset, Zym::SeekDir dir) override;
    unsigned int vGet(void* data, unsigned int n) override;
    unsigned int vTellG() const override { return m_GetPos; }
    unsigned int vSeekG(std::int64_t offset, Zym::SeekDir dir) override;
    void vFlush() override {}
    void vClear() override;
    void vClearMemory() override;
    void vClearEnd() override;
    unsigned int vSize() const override { return m_Size; }
    bool vEndOfFile() const override { return m_GetPos >= m_Size; }

private:
    void PutInMemory(const unsigned char* data, unsigned int n);
    void PutInFile(const unsigned char* data, unsigned int n);
    void TruncateFile(unsigned int dataSize);

    std::string m_Directory;
    unsigned int m_BlockSize;
    unsigned int m_MemoryLimit;
    std::vector<unsigned char> m_Memory;
    Zym::Handle m_File;
    unsigned int m_Size = 0;
    unsigned int m_PutPos = 0;
    unsigned int m_GetPos = 0;
};

} // namespace ZymFile
