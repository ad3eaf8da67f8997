#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace ZymWindows::Platform::Posix {

// A change counter that every process using one store shares: an 8-byte
// file beside the database, mapped into memory. Writers bump it around each
// commit, so a reader can tell in a few nanoseconds whether a listing it
// cached may be stale. Without the file (a store that this process may not
// write and that nobody has written yet) the counter is private to the
// process and sees only this process's writes.
class VersionCounter {
public:
    VersionCounter() = default;
    VersionCounter(const VersionCounter&) = delete;
    VersionCounter& operator=(const VersionCounter&) = delete;
    ~VersionCounter();

    // Maps the counter file at `path`; keeps the private counter on failure.
    void Map(const std::string& path) noexcept;
    std::uint64_t Get() const noexcept;
    void Bump() noexcept;

private:
    std::uint64_t* m_Shared = nullptr;
    bool m_Writable = false;
    std::atomic<std::uint64_t> m_Private{0};
};

} // namespace ZymWindows::Platform::Posix
