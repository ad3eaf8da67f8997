#pragma once

#include <ZymThread/ReadWriteSemaphore.h>

#include <string>

namespace ZymWindows {

// Questions about the network this machine belongs to; static operations
// only. Answers are kept for the life of the process.
class NTNetwork {
public:
    NTNetwork() = delete;

    // The lower-cased name of this computer, read once.
    static const std::u16string& GetLocalComputerName();

private:
    static std::u16string m_ComputerName;
    static ZymThread::ReadWriteSemaphore m_DomainCacheLock;
};

} // namespace ZymWindows
