#include "ZymSecurity/SecurityIDCache.h"

#include "Platform.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymNetwork/ComputerName.h>

#include <map>
#include <mutex>

namespace ZymSecurity {

namespace {

struct LocalCache {
    std::mutex lock;
    std::map<BinarySID, SecurityIDPtr> ids;
};

LocalCache& Cache() {
    static LocalCache cache;
    return cache;
}

} // namespace

SecurityID* SecurityIDCache::ResolveLocally(const BinarySID& sid, bool& named) {
    ResolvedAccount account;
    account.sid = sid;
    named = Platform::ResolveSID(sid, account) == Zym::ERROR_SUCCESS;
    return new SecurityID(sid, account.name, account.domain, account.type);
}

SecurityIDPtr SecurityIDCache::CreateSecurityIDFromPSID(const void* psid) {
    return CreateSecurityID(BinarySID::FromPSID(psid));
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const std::u16string& sidText) {
    return CreateSecurityID(BinarySID::Parse(sidText));
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const BinarySID& sid) {
    if (const SecurityIDPtr known = Known(sid))
        return known;
    // Resolved outside the lock: an account lookup may be slow. Two threads
    // that race here both resolve, and the first one's object is kept. An
    // account the database could not name (it may only have failed for a
    // moment) is asked again next time.
    bool named = false;
    const SecurityIDPtr resolved = ResolveLocally(sid, named);
    if (!named)
        return resolved;
    LocalCache& cache = Cache();
    std::lock_guard guard(cache.lock);
    return cache.ids.emplace(sid, resolved).first->second;
}

SecurityIDPtr SecurityIDCache::Known(const BinarySID& sid) {
    LocalCache& cache = Cache();
    std::lock_guard guard(cache.lock);
    const auto found = cache.ids.find(sid);
    return found != cache.ids.end() ? found->second : SecurityIDPtr();
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const BinarySID& sid, const std::u16string& name,
                                                const std::u16string& domain, SIDType type) {
    LocalCache& cache = Cache();
    std::lock_guard guard(cache.lock);
    const auto found = cache.ids.find(sid);
    if (found != cache.ids.end() && found->second->GetName() == name &&
        found->second->GetDomain() == domain && found->second->GetType() == type)
        return found->second;
    const SecurityIDPtr made = new SecurityID(sid, name, domain, type);
    // A Unix SID names an account of the machine that resolved it: another
    // machine's is not this one's, and is not kept. Any other SID is one
    // account wherever it is resolved; the latest naming is kept.
    if (sid.Authority() != BinarySID::UNIX_AUTHORITY ||
        Zym::WNoCase::IsEqual(domain, ZymNetwork::GetComputerName()))
        cache.ids.insert_or_assign(sid, made);
    return made;
}

} // namespace ZymSecurity
