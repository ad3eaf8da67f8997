#include "PipeDirectoryLock.h"

#include "PipePath.h"

#include <Zym/LastError.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace ZymWindows::Platform {

unsigned long PipeDirectoryLock::Lock() {
    const std::string directory = PipeDirectory();
    if (mkdir(directory.c_str(), 01777) == 0) {
        // mkdir honours the umask; the directory must be open to everyone.
        if (chmod(directory.c_str(), 01777) != 0)
            return Zym::SetLastErrorFromErrno(errno);
    } else if (errno != EEXIST) {
        return Zym::SetLastErrorFromErrno(errno);
    }
    m_Directory.Reset(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_Directory.IsValid())
        return Zym::SetLastErrorFromErrno(errno);
    while (flock(m_Directory.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return Zym::SetLastErrorFromErrno(errno);
    return Zym::ERROR_SUCCESS;
}

PipeDirectoryLock::~PipeDirectoryLock() {
    // Unlocked explicitly: the lock belongs to the open directory, which a
    // child forked meanwhile shares, and closing only our descriptor would
    // leave it locked until that child ends.
    if (m_Directory.IsValid())
        flock(m_Directory.Get(), LOCK_UN);
}

} // namespace ZymWindows::Platform
