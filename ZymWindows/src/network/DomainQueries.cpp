#include "ZymWindows/Exceptions.h"
#include "ZymWindows/NTNetwork.h"
#include "network/ProviderRegistry.h"
#include "network/ResultCodes.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymNetwork/ComputerName.h>

namespace ZymWindows {

using Network::CurrentProvider;

void NTNetwork::FillDomainsCache() {
    ZymThread::CriticalSectionGuard filling(m_FillLock);
    {
        ZymThread::ReadLockGuard reading(m_DomainCacheLock);
        if (m_DomainCacheInitialized)
            return;
    }
    const std::shared_ptr<Network::Provider> provider = CurrentProvider();
    std::vector<std::u16string> names;
    if (const unsigned long result =
            provider->ServerEnum(u"", Network::SV_TYPE_DOMAIN_ENUM, names)) {
        Zym::SetLastError(result);
        throw WindowsQueryDomainsException();
    }
    std::map<std::u16string, DomainWorkGroupServerCache> found;
    for (const std::u16string& name : names) {
        const std::u16string key = Zym::ToLower(name);
        DomainWorkGroupServerCache entry;
        std::u16string controller;
        if (provider->GetDcName(key, false, controller) == 0 && !controller.empty()) {
            entry.kind = DomainWorkGroupServerCache::DOMAIN;
            entry.controller = Zym::ToLower(controller);
        } else {
            entry.kind = DomainWorkGroupServerCache::WORKGROUP;
        }
        found[key] = entry;
    }
    ZymThread::WriteLockGuard writing(m_DomainCacheLock);
    m_DomainCacheInitialized = true;
    for (const auto& [key, entry] : found)
        m_mDomainCache[key] = entry;
}

void NTNetwork::ListDomainsOfKind(std::int32_t kind, std::vector<std::u16string>& names) {
    bool initialized = false;
    {
        ZymThread::ReadLockGuard reading(m_DomainCacheLock);
        initialized = m_DomainCacheInitialized;
    }
    if (!initialized)
        FillDomainsCache();
    ZymThread::ReadLockGuard reading(m_DomainCacheLock);
    for (const auto& [name, entry] : m_mDomainCache)
        if (entry.kind == kind)
            names.push_back(name);
}

void NTNetwork::GetDomains(std::vector<std::u16string>& domains) {
    ListDomainsOfKind(DomainWorkGroupServerCache::DOMAIN, domains);
}

void NTNetwork::GetWorkGroups(std::vector<std::u16string>& workGroups) {
    ListDomainsOfKind(DomainWorkGroupServerCache::WORKGROUP, workGroups);
}

void NTNetwork::GetDomainServers(const std::u16string& domain,
                                 std::vector<std::u16string>& servers) {
    std::vector<std::u16string> names;
    const unsigned long result = CurrentProvider()->ServerEnum(domain, Network::SV_TYPE_ALL, names);
    if (result != 0)
        Network::ThrowQueryFailure(Network::Query::SERVERS_OR_SHARES, result);
    servers.insert(servers.end(), names.begin(), names.end());
}

void NTNetwork::GetServerShares(const std::u16string& server, std::vector<std::u16string>& shares) {
    std::vector<std::u16string> names;
    const unsigned long result = CurrentProvider()->ShareEnum(server, names);
    if (result != 0)
        Network::ThrowQueryFailure(Network::Query::SERVERS_OR_SHARES, result);
    for (const std::u16string& name : names)
        shares.push_back(server + u"\\" + name);
}

// The network is asked without the lock held, here and below, so that a
// slow controller holds up no other caller; two first lookups of one name
// may both ask, and either answer may remain.
void NTNetwork::GetDomainController(const std::u16string& domain, std::u16string& controller,
                                    bool primary) {
    controller.clear();
    const std::u16string key = Zym::ToLower(domain);
    if (!primary) {
        ZymThread::ReadLockGuard reading(m_DomainCacheLock);
        const auto found = m_mDomainCache.find(key);
        if (found != m_mDomainCache.end() &&
            found->second.kind == DomainWorkGroupServerCache::DOMAIN) {
            controller = found->second.controller;
            return;
        }
    }
    std::u16string name;
    const unsigned long result = CurrentProvider()->GetDcName(key, primary, name);
    if (result != 0) {
        Zym::SetLastError(result);
        throw WindowsInvalidDomainException();
    }
    if (name.empty())
        return;
    controller = Zym::ToLower(name);
    ZymThread::WriteLockGuard writing(m_DomainCacheLock);
    DomainWorkGroupServerCache& entry = m_mDomainCache[key];
    entry.kind = DomainWorkGroupServerCache::DOMAIN;
    entry.controller = controller;
}

const std::u16string& NTNetwork::GetLocalComputerName() {
    ZymThread::ReadLockGuard reading(m_DomainCacheLock);
    if (m_ComputerName.empty()) {
        ZymThread::WriteLockGuard writing(m_DomainCacheLock);
        if (m_ComputerName.empty())
            m_ComputerName = Zym::ToLower(ZymNetwork::GetComputerName());
    }
    return m_ComputerName;
}

void NTNetwork::GetDomainForMachine(const std::u16string& machine, std::u16string& domain) {
    const std::u16string key = Zym::ToLower(machine);
    {
        ZymThread::ReadLockGuard reading(m_DomainCacheLock);
        const auto found = m_mMachineDomainCache.find(key);
        if (found != m_mMachineDomainCache.end()) {
            domain = found->second;
            return;
        }
    }
    std::u16string group;
    const unsigned long result = CurrentProvider()->WkstaGetInfo(machine, group);
    Zym::SetLastError(result);
    if (result == Zym::ERROR_ACCESS_DENIED)
        throw WindowsAccessDeniedException();
    if (result != 0)
        throw WindowsQueryDomainsException();
    domain = Zym::ToLower(group);
    ZymThread::WriteLockGuard writing(m_DomainCacheLock);
    m_mMachineDomainCache.emplace(key, domain);
}

NTNetwork::DomainType NTNetwork::GetDomainType(const std::u16string& name) {
    const std::u16string key = Zym::ToLower(name);
    {
        ZymThread::ReadLockGuard reading(m_DomainCacheLock);
        const auto found = m_mDomainCache.find(key);
        if (found != m_mDomainCache.end()) {
            switch (found->second.kind) {
            case DomainWorkGroupServerCache::DOMAIN:
            case DomainWorkGroupServerCache::WORKGROUP:
                return TYPE_DOMAIN;
            case DomainWorkGroupServerCache::SERVER:
                return TYPE_SERVER;
            default:
                return TYPE_UNKNOWN;
            }
        }
    }
    std::int32_t kind = DomainWorkGroupServerCache::SERVER;
    if (!key.empty()) {
        try {
            std::u16string controller;
            GetDomainController(name, controller, false);
            return TYPE_DOMAIN;
        } catch (const WindowsInvalidDomainException&) {
            kind = CurrentProvider()->ServerGetInfo(name) == 0
                       ? DomainWorkGroupServerCache::SERVER
                       : DomainWorkGroupServerCache::UNKNOWN;
        }
    }
    ZymThread::WriteLockGuard writing(m_DomainCacheLock);
    DomainWorkGroupServerCache& entry = m_mDomainCache[key];
    entry.kind = kind;
    entry.controller.clear();
    return kind == DomainWorkGroupServerCache::SERVER ? TYPE_SERVER : TYPE_UNKNOWN;
}

} // namespace ZymWindows
