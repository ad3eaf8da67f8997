#include "Platform.h"
#include "ZymSecurity/Exceptions.h"
#include "ZymSecurity/SecurityIDCache.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>

#include <atomic>
#include <optional>

namespace ZymSecurity {

namespace {

std::atomic<RemoteAccountLookup*> g_RemoteLookup{nullptr};

[[noreturn]] void Fail(unsigned long code) {
    throw AccountLookupException(Zym::GetLastErrorMessage(code));
}

// The SID of an account of this computer: "name" or "computer\name"; the
// computer, by any of its names, is the domain of its users.
std::optional<BinarySID> LocalSID(const std::u16string& account) {
    const std::size_t separator = account.rfind(u'\\');
    std::u16string name = account;
    if (separator != std::u16string::npos) {
        const std::u16string domain = account.substr(0, separator);
        if (!domain.empty() && !ZymNetwork::IsLocalComputer(domain))
            return std::nullopt;
        name = account.substr(separator + 1);
    } else if (!name.empty() && ZymNetwork::IsLocalComputer(name)) {
        return BinarySID(BinarySID::UNIX_AUTHORITY, {BinarySID::UNIX_USERS});
    }
    const std::string utf8 = ZymCharset::ToUtf8(name);
    if (const auto uid = Platform::UserId(utf8))
        return BinarySID::UnixUser(*uid);
    if (const auto gid = Platform::GroupId(utf8))
        return BinarySID::UnixGroup(*gid);
    return std::nullopt;
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
        const std::optional<BinarySID> sid = LocalSID(account);
        if (!sid)
            Fail(Zym::ERROR_NONE_MAPPED);
        return CreateSecurityID(*sid);
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
