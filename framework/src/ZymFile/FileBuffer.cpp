#include "ZymFile/FileBuffer.h"

#include "OSFile.h"
#include "ZymFile/Seek.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace ZymFile {

ZYM_DEFINE_EXCEPTION(FileException);

namespace {

[[noreturn]] void Fail(const std::string& path, const std::u16string& reason) {
    throw FileException(ZymCharset::FromUtf8(path) + u": " + reason);
}

} // namespace

FileBuffer::FileBuffer(const std::string& path) : m_Path(path), m_File(OS::OpenForReading(path)) {
    std::uint64_t size = 0;
    if (!m_File.IsValid() || !OS::GetFileSize(m_File, size))
        Fail(path, Zym::GetLastErrorMessage(0));
    if (size > std::numeric_limits<unsigned int>::max())
        Fail(path, u"The file is larger than 4 GiB - 1 bytes.");
    m_Size = static_cast<unsigned int>(size);
}

unsigned int FileBuffer::vSeekP(std::int64_t offset, Zym::SeekDir dir) {
    m_PutPos = ResolveSeek(m_PutPos, m_Size, offset, dir);
    return m_PutPos;
}

unsigned int FileBuffer::vSeekG(std::int64_t offset, Zym::SeekDir dir) {
    m_GetPos = ResolveSeek(m_GetPos, m_Size, offset, dir);
    return m_GetPos;
}

unsigned int FileBuffer::vGet(void* data, unsigned int n) {
    n = std::min(n, m_Size - std::min(m_GetPos, m_Size));
    if (n == 0)
        return 0;
    unsigned int done = 0;
    if (m_GetPos < m_WindowStart || m_GetPos - m_WindowStart >= m_WindowLength) {
        if (n >= WINDOW_SIZE) {
            done = ReadFile(data, n, m_GetPos);
            m_GetPos += done;
            return done;
        }
        if (!m_Window)
            m_Window = std::make_unique<unsigned char[]>(WINDOW_SIZE);
        m_WindowStart = m_GetPos;
        m_WindowLength =
            ReadFile(m_Window.get(), std::min(WINDOW_SIZE, m_Size - m_GetPos), m_GetPos);
    }
    done = std::min(n, m_WindowLength - (m_GetPos - m_WindowStart));
    std::memcpy(data, m_Window.get() + (m_GetPos - m_WindowStart), done);
    m_GetPos += done;
    return done;
}

unsigned int FileBuffer::ReadFile(void* data, unsigned int n, unsigned int at) {
    const std::int64_t got = OS::ReadAt(m_File, data, n, at);
    if (got < 0)
        throw Zym::BinaryStreamGetEOFException(ZymCharset::FromUtf8(m_Path) + u": " +
                                               Zym::GetLastErrorMessage(0));
    return static_cast<unsigned int>(got);
}

void FileBuffer::vClear() {
    m_Window.reset();
    m_WindowStart = m_WindowLength = 0;
    m_PutPos = m_GetPos = 0;
}

} // namespace ZymFile
