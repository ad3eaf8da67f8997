#include "../ZymFile/OSFile.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ZymFile::OS {

namespace {

std::string TemporaryDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : "/tmp";
}

Zym::Handle Failed() {
    Zym::SetLastErrorFromErrno(errno);
    return Zym::Handle();
}

} // namespace

Zym::Handle OpenForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Failed();
    Zym::Handle file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return Failed();
    // A directory opens for reading on Linux but has no bytes to give.
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return Failed();
    }
    return file;
}

Zym::Handle CreateAnonymousFile(const std::string& directory) {
    std::string pattern = directory.empty() ? TemporaryDirectory() : directory;
    pattern += "/ZymDiskBuffer-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return Failed();
    Zym::Handle file(fd);
    if (::unlink(name.data()) != 0)
        return Failed();
    return file;
}

bool GetFileSize(const Zym::Handle& file, std::uint64_t& size) {
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::int64_t ReadAt(const Zym::Handle& file, void* data, std::size_t n, std::uint64_t offset) {
    for (;;) {
        const ssize_t got = ::pread(file.Get(), data, n, static_cast<off_t>(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            Zym::SetLastErrorFromErrno(errno);
            return -1;
        }
    }
}

bool WriteAt(const Zym::Handle& file, const void* data, std::size_t n, std::uint64_t offset) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t done = ::pwrite(file.Get(), bytes, n, static_cast<off_t>(offset));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            Zym::SetLastErrorFromErrno(errno);
            return false;
        }
        bytes += done;
        n -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

bool Truncate(const Zym::Handle& file, std::uint64_t size) {
    if (::ftruncate(file.Get(), static_cast<off_t>(size)) != 0) {
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

} // namespace ZymFile::OS
