#pragma once

#include <Zym/Export.h>

#include <Zym/BinaryStreamBuf.h>
#include <Zym/Exception.h>
#include <Zym/Handle.h>

#include <memory>
#include <string>

namespace ZymFile {

// A file that cannot be opened or used; the text names the file and the
// system's reason.
ZYM_ROOT_EXCEPTION(ZYM_EXPORT, FileException, ::Zym::Exception);

// Reads an existing file of up to 4 GiB - 1 bytes. Small reads are served
// from a read-ahead window filled by one system call; reads of a window or
// more go straight to the caller's memory. The file is never written:
// puts write nothing, Clear and ClearMemory only reset the positions and give
// the window back, ClearEnd does nothing.
class ZYM_EXPORT FileBuffer : public Zym::BinaryStreamBuf {
public:
    static constexpr unsigned int WINDOW_SIZE = 262144;

    // Raises FileException when the file cannot be opened or is too large.
    explicit FileBuffer(const std::string& path);

    const std::string& Path() const noexcept { return m_Path; }

protected:
    unsigned int vPut(const void*, unsigned int) override { return 0; }
    unsigned int vTellP() const override { return m_PutPos; }
    unsigned int vSeekP(std::int64_t offset, Zym::SeekDir dir) override;
    unsigned int vGet(void* data, unsigned int n) override;
    unsigned int vTellG() const override { return m_GetPos; }
    unsigned int vSeekG(std::int64_t offset, Zym::SeekDir dir) override;
    void vFlush() override {}
    void vClear() override;
    void vClearMemory() override { vClear(); }
    void vClearEnd() override {}
    unsigned int vSize() const override { return m_Size; }
    bool vEndOfFile() const override { return m_GetPos >= m_Size; }

private:
    unsigned int ReadFile(void* data, unsigned int n, unsigned int at);

    std::string m_Path;
    Zym::Handle m_File;
    unsigned int m_Size = 0;
    unsigned int m_PutPos = 0;
    unsigned int m_GetPos = 0;
    std::unique_ptr<unsigned char[]> m_Window;
    unsigned int m_WindowStart = 0;
    unsigned int m_WindowLength = 0;
};

} // namespace ZymFile
