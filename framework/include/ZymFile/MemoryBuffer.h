#pragma once

#include <Zym/Export.h>

#include <Zym/BinaryStreamBuf.h>

#include <vector>

namespace ZymFile {

// A growable in-memory buffer; writes past the end extend the data.
class ZYM_EXPORT MemoryBuffer : public Zym::BinaryStreamBuf {
public:
    // `initialSize` bytes are reserved up front; the data starts empty.
    explicit MemoryBuffer(unsigned int initialSize = 0);

    const unsigned char* Data() const noexcept { return m_Data.data(); }

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
    unsigned int vSize() const override { return static_cast<unsigned int>(m_Data.size()); }
    bool vEndOfFile() const override { return m_GetPos >= m_Data.size(); }

private:
    std::vector<unsigned char> m_Data;
    unsigned int m_PutPos = 0;
    unsigned int m_GetPos = 0;
};

} // namespace ZymFile
