#include "ZymWindows/NTNetwork.h"

#include "network/NetworkPlatform.h"

#include <Zym/NoCase.h>

namespace ZymWindows {

std::u16string NTNetwork::m_ComputerName;
ZymThread::ReadWriteSemaphore NTNetwork::m_DomainCacheLock;

const std::u16string& NTNetwork::GetLocalComputerName() {
    ZymThread::ReadLockGuard reading(m_DomainCacheLock);
    if (m_ComputerName.empty()) {
        ZymThread::WriteLockGuard writing(m_DomainCacheLock);
        if (m_ComputerName.empty())
            m_ComputerName = Zym::ToLower(Platform::GetComputerName());
    }
    return m_ComputerName;
}

} // namespace ZymWindows
