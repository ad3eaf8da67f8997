#include "ZymWindows/NTNetwork.h"

namespace ZymWindows {

std::map<std::u16string, NTNetwork::DomainWorkGroupServerCache> NTNetwork::m_mDomainCache;
bool NTNetwork::m_DomainCacheInitialized = false;
std::map<std::u16string, std::u16string> NTNetwork::m_mMachineDomainCache;
std::u16string NTNetwork::m_ComputerName;
std::u16string NTNetwork::m_LocalAdmin;
ZymThread::ReadWriteSemaphore NTNetwork::m_DomainCacheLock;
ZymThread::CriticalSection NTNetwork::m_FillLock{4000};

std::map<std::u16string, NTNetwork::SIDs> NTNetwork::m_mUsersCache;
std::map<NTNetwork::NamePair, NTNetwork::SIDs> NTNetwork::m_mUsersGroupsCache;
ZymThread::ReadWriteSemaphore NTNetwork::m_UsersLock;

std::map<std::u16string, NTNetwork::SIDs> NTNetwork::m_mLocalGroupsCache;
std::map<std::u16string, NTNetwork::SIDs> NTNetwork::m_mGlobalGroupsCache;
std::map<NTNetwork::NamePair, NTNetwork::SIDs> NTNetwork::m_mGroupsLocalMemberCache;
std::map<NTNetwork::NamePair, NTNetwork::SIDs> NTNetwork::m_mGroupsGlobalMemberCache;
ZymThread::ReadWriteSemaphore NTNetwork::m_GroupsLock;

void NTNetwork::ClearCache() {
    {
        ZymThread::WriteLockGuard writing(m_DomainCacheLock);
        m_DomainCacheInitialized = false;
        m_mDomainCache.clear();
        m_mMachineDomainCache.clear();
    }
    {
        ZymThread::WriteLockGuard writing(m_UsersLock);
        m_mUsersCache.clear();
    }
    ZymThread::WriteLockGuard writing(m_GroupsLock);
    m_mLocalGroupsCache.clear();
    m_mGlobalGroupsCache.clear();
    m_mGroupsLocalMemberCache.clear();
    m_mGroupsGlobalMemberCache.clear();
}

} // namespace ZymWindows
