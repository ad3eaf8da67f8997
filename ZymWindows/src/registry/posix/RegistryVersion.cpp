#include "registry/posix/RegistryVersion.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZymWindows::Platform::Posix {

namespace {

constexpr std::size_t COUNTER_SIZE = sizeof(std::uint64_t);

} // namespace

VersionCounter::~VersionCounter() {
    if (m_Shared)
        ::munmap(m_Shared, COUNTER_SIZE);
}

void VersionCounter::Map(const std::string& path) noexcept {
    bool writable = true;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        writable = false;
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0)
        return;
    struct stat info {};
    const bool sized =
        ::fstat(fd, &info) == 0 && (static_cast<std::size_t>(info.st_size) >= COUNTER_SIZE ||
                                    (writable && ::ftruncate(fd, COUNTER_SIZE) == 0));
    if (sized) {
        void* memory = ::mmap(nullptr, COUNTER_SIZE, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                              MAP_SHARED, fd, 0);
        if (memory != MAP_FAILED) {
            m_Shared = static_cast<std::uint64_t*>(memory);
            m_Writable = writable;
        }
    }
    ::close(fd);
}

std::uint64_t VersionCounter::Get() const noexcept {
    const std::uint64_t own = m_Private.load(std::memory_order_acquire);
    if (!m_Shared)
        return own;
    // The private part still counts this process's writes when the shared
    // counter is read-only.
    return __atomic_load_n(m_Shared, __ATOMIC_ACQUIRE) + own;
}

void VersionCounter::Bump() noexcept {
    if (m_Shared && m_Writable)
        __atomic_add_fetch(m_Shared, 1, __ATOMIC_ACQ_REL);
    else
        m_Private.fetch_add(1, std::memory_order_acq_rel);
}

} // namespace ZymWindows::Platform::Posix
