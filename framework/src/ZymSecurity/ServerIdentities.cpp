#include "Platform.h"
#include "ZymSecurity/Exceptions.h"
#include "ZymSecurity/SecurityIDCache.h"

#include <Zym/LastError.h>
#include <ZymNetwork/ComputerName.h>

#include <atomic>

namespace ZymSecurity {

namespace {

std::atomic<RemoteAccountLookup*> g_RemoteLookup{nullptr};

[[noreturn]] void Fail(unsigned long code) {
    throw AccountLookupException(Zym::GetLastErrorMessage(code));
}

RemoteAccountLookup& RemoteLookup() {
    RemoteAccountLookup* lookup = g_RemoteLookup.load();
    if (!lookup)
        Fail(Zym::RPC_S_SERVER_UNAVAILABLE);
    return *lookup;
}

} // namespace

void SecurityIDCache::SetRemoteAccountLookup(RemoteAccountLookup* lookup) {
    g_RemoteLookup.store(lookup);
}

SecurityIDPtr SecurityIDCache::Resolved(const ResolvedAccount& account) {
    return CreateSecurityID(account.sid, account.name, account.domain, account.type);
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const std::u16string& account,
                                                const std::u16string& server) {
    if (ZymNetwork::IsLocalComputer(server)) {
        BinarySID sid;
        if (const unsigned long code = Platform::FindAccount(account, sid))
            Fail(code);
        return CreateSecurityID(sid);
    }
    ResolvedAccount resolved;
    if (const unsigned long code = RemoteLookup().LookupAccountName(server, account, resolved))
        Fail(code);
    return Resolved(resolved);
}

SecurityIDPtr SecurityIDCache::CreateSecurityID(const SecurityIDPtr& domain, unsigned long rid,
                                                const std::u16string& server) {
    if (!domain)
        Fail(Zym::ERROR_INVALID_PARAMETER);
    const BinarySID& domainSID = domain->GetSID();
    std::vector<std::uint32_t> subAuthorities;
    for (unsigned int i = 0; i < domainSID.SubAuthorityCount(); ++i)
        subAuthorities.push_back(domainSID.SubAuthority(i));
    subAuthorities.push_back(static_cast<std::uint32_t>(rid));
    const BinarySID sid(domainSID.Authority(), subAuthorities);
    return CreateSecurityIDFromPSID(sid.Bytes().data(), server);
}

SecurityIDPtr SecurityIDCache::CreateSecurityIDFromPSID(const void* psid,
                                                        const std::u16string& server) {
    const BinarySID sid = BinarySID::FromPSID(psid);
    if (ZymNetwork::IsLocalComputer(server))
        return CreateSecurityID(sid);
    if (sid.Authority() != BinarySID::UNIX_AUTHORITY)
        if (const SecurityIDPtr known = Known(sid))
            return known;
    ResolvedAccount resolved;
    if (const unsigned long code = RemoteLookup().LookupAccountSid(server, sid, resolved))
        Fail(code);
    resolved.sid = sid;
    return Resolved(resolved);
}

} // namespace ZymSecurity
