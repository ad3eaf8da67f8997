#pragma once

#include <Zym/Handle.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The few file operations the buffers need from the operating system. Each
// reports failure by setting the calling thread's last error to a Win32
// error number.
namespace ZymFile::OS {

// Opens an existing file for reading; an invalid handle on failure.
Zym::Handle OpenForReading(const std::string& path);
// Creates a read-write file in `directory` that has no name left on disk, so
// that it disappears with its handle even if the process dies; an invalid
// handle on failure. An empty directory means the system's temporary one.
Zym::Handle CreateAnonymousFile(const std::string& directory);
bool GetFileSize(const Zym::Handle& file, std::uint64_t& size);
// Reads up to n bytes at `offset`; the count read (0 at the end of the file)
// or -1 on failure.
std::int64_t ReadAt(const Zym::Handle& file, void* data, std::size_t n, std::uint64_t offset);
// Writes all n bytes at `offset` or fails.
bool WriteAt(const Zym::Handle& file, const void* data, std::size_t n, std::uint64_t offset);
bool Truncate(const Zym::Handle& file, std::uint64_t size);

} // namespace ZymFile::OS
