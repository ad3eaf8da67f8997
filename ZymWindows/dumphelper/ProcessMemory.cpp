#include "ProcessMemory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace ZymDumpHelper {

ProcessMemory::ProcessMemory(pid_t processId)
    : m_File(open(("/proc/" + std::to_string(processId) + "/mem").c_str(), O_RDONLY | O_CLOEXEC)) {}

ProcessMemory::~ProcessMemory() {
    if (m_File >= 0)
        close(m_File);
}

std::size_t ProcessMemory::Read(std::uint64_t address, void* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(m_File, static_cast<char*>(buffer) + done, size - done,
                                  static_cast<off_t>(address + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ProcessMemory::ReadWord(std::uint64_t address, std::uint64_t& word) {
    const std::uint64_t page = address & ~std::uint64_t{PAGE - 1};
    const std::size_t offset = address - page;
    if (offset + sizeof word > PAGE)
        return Read(address, &word, sizeof word) == sizeof word;
    if (page != m_CachedPage) {
        if (Read(page, m_Cache, PAGE) != PAGE)
            return Read(address, &word, sizeof word) == sizeof word;
        m_CachedPage = page;
    }
    std::memcpy(&word, m_Cache + offset, sizeof word);
    return true;
}

} // namespace ZymDumpHelper
