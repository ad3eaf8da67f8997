#include "network/ProviderRegistry.h"

#include <ZymSecurity/SecurityIDCache.h>

#include <mutex>

namespace ZymWindows::Network {

namespace {

// Resolves identities on other machines through the current provider.
class ProviderLookup : public ZymSecurity::RemoteAccountLookup {
public:
    unsigned long LookupAccountName(const std::u16string& server, const std::u16string& account,
                                    ResolvedAccount& resolved) override {
        return CurrentProvider()->LookupAccountName(server, account, resolved);
    }
    unsigned long LookupAccountSid(const std::u16string& server, const ZymSecurity::BinarySID& sid,
                                   ResolvedAccount& resolved) override {
        return CurrentProvider()->LookupAccountSid(server, sid, resolved);
    }
};

struct Registry {
    std::mutex lock;
    std::shared_ptr<Provider> installed; // guarded by lock
    std::shared_ptr<Provider> system;    // guarded by lock; made on first use
    ProviderLookup lookup;

    Registry() { ZymSecurity::SecurityIDCache::SetRemoteAccountLookup(&lookup); }
    ~Registry() { ZymSecurity::SecurityIDCache::SetRemoteAccountLookup(nullptr); }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
};

// Installed at load, so that identities from other machines resolve
// before any query has run; withdrawn at unload.
Registry g_Registry;

} // namespace

std::shared_ptr<Provider> CurrentProvider() {
    std::lock_guard guard(g_Registry.lock);
    if (g_Registry.installed)
        return g_Registry.installed;
    if (!g_Registry.system)
        g_Registry.system = MakeSystemProvider();
    return g_Registry.system;
}

void InstallProvider(std::shared_ptr<Provider> provider) {
    std::lock_guard guard(g_Registry.lock);
    g_Registry.installed = std::move(provider);
}

} // namespace ZymWindows::Network
