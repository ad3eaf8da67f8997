#pragma once

#include <Zym/Handle.h>

namespace ZymWindows::Platform {

// Serialises the creation and removal of socket files in the pipe directory
// between all threads and processes, so that a server clearing a stale file
// never removes a file that another server has just made.
class PipeDirectoryLock {
public:
    PipeDirectoryLock() = default;
    ~PipeDirectoryLock();
    PipeDirectoryLock(const PipeDirectoryLock&) = delete;
    PipeDirectoryLock& operator=(const PipeDirectoryLock&) = delete;

    // Creates the directory when it is missing (mode 1777: open to every
    // account, each removing only its own files) and locks it until this
    // object is destroyed.
    unsigned long Lock();

private:
    Zym::Handle m_Directory;
};

} // namespace ZymWindows::Platform
