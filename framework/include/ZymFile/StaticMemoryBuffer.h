#pragma once

#include <Zym/Export.h>

#include <Zym/BinaryStreamBuf.h>

namespace ZymFile {

// A buffer over memory that it does not own: reads see all `size` bytes,
// writes overwrite them in place and never grow past `size`.
class ZYM_EXPORT StaticMemoryBuffer : public Zym::BinaryStreamBuf {
public:
    StaticMemoryBuffer(void* data, unsigned int size) noexcept;
    StaticMemoryBuffer(const void* data, unsigned int size) noexcept;

protected:
    unsigned int vPut(const void* data, unsigned int n) override;
    unsigned int vTellP() const override { return m_PutPos; }
    unsigned int vSeekP(std::int64_t offset, Zym::SeekDir dir) override;
    unsigned int vGet(void* data, unsigned int n) override;
    unsigned int vTellG() const override { return m_GetPos; }
    unsigned int vSeekG(std::int64_t offset, Zym::SeekDir dir) override;
    void vFlush() override {}
    // The memory is not ours: clearing only resets the positions.
    void vClear() override { m_PutPos = m_GetPos = 0; }
    void vClearMemory() override { vClear(); }
    void vClearEnd() override {}
    unsigned int vSize() const override { return m_Size; }
    bool vEndOfFile() const override { return m_GetPos >= m_Size; }

private:
    unsigned char* m_Writable;
    const unsigned char* m_Data;
    unsigned int m_Size;
    unsigned int m_PutPos = 0;
    unsigned int m_GetPos = 0;
};

} // namespace ZymFile
