#include "ZymSecurity/SecurityIDCache.h"

#include "Platform.h"

#include <Zym/NoCase.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>

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

std::u16string Wide(const std::string& text) {
    return ZymCharset::FromUtf8(text);
}

// The account name of a Unix user or group; its number when the account
// database does not know it.
std::u16string AccountName(const std::optional<std::string>& name, std::uint32_t id) {
    return Wide(name ? *name : std::to_string(id));
}

} // namespace

SecurityID* SecurityIDCache::ResolveLocally(const BinarySID& sid) {
    static const std::u16string domain = Zym::ToLower(ZymNetwork::GetComputerName());
    std::uint32_t id = 0;
    if (sid == BinarySID(BinarySID::UNIX_AUTHORITY, {BinarySID::UNIX_USERS}))
        return new SecurityID(sid, domain, u"", SidTypeDomain);
    if (sid.IsUnixAccount(BinarySID::UNIX_USERS, id))
        return new SecurityID(sid, AccountName(Platform::UserName(id), id), domain, SidTypeUser);
    if (sid.IsUnixAccount(BinarySID::UNIX_GROUPS, id))
        return new SecurityID(sid, AccountName(Platform::GroupName(id), id), domain, SidTypeGroup);
    return new SecurityID(sid, u"", u"", SidTypeUnknown);
}

SecurityIDPtr SecurityIDCache::CreateSecurityIDFromPSID(const void* psid) {
    return CreateSecurityID(BinarySID::FromPSID(psid));
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const std::u16string& sidText) {
    return CreateSecurityID(BinarySID::Parse(sidText));
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const BinarySID& sid) {
    LocalCache& cache = Cache();
    {
        std::lock_guard guard(cache.lock);
        const auto found = cache.ids.find(sid);
        if (found != cache.ids.end())
            return found->second;
    }
    // Resolved outside the lock: an account lookup may be slow. Two threads
    // that race here both resolve, and the first one's object is kept.
    const SecurityIDPtr resolved = ResolveLocally(sid);
    std::lock_guard guard(cache.lock);
    return cache.ids.emplace(sid, resolved).first->second;
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const BinarySID& sid, const std::u16string& name,
                                                const std::u16string& domain, SIDType type) {
    LocalCache& cache = Cache();
    {
        std::lock_guard guard(cache.lock);
        const auto found = cache.ids.find(sid);
        if (found != cache.ids.end() && found->second->GetName() == name &&
            found->second->GetDomain() == domain && found->second->GetType() == type)
            return found->second;
    }
    return new SecurityID(sid, name, domain, type);
}

} // namespace ZymSecurity
