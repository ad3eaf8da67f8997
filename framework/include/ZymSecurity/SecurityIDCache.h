#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/RemoteAccountLookup.h>
#include <ZymSecurity/SecurityID.h>

#include <Zym/SmartPtr.h>

namespace ZymSecurity {

using SecurityIDPtr = Zym::SmartPtrToConst<SecurityID>;

// Hands out shared SecurityID objects. Identities resolved on this machine
// are looked up once and reused for the life of the process; all functions
// may be called from any thread.
class ZYM_EXPORT SecurityIDCache {
public:
    // Resolves a SID on this machine, as the system's account lookup names
    // it. An account the system does not know is not kept and is asked
    // again next time; it stays unnamed, of type SidTypeUnknown, except
    // that on Linux a Unix account (S-1-22) keeps its number as its name
    // and this computer as its domain.
    static SecurityIDPtr CreateSecurityIDFromPSID(const void* psid);
    static SecurityIDPtr CreateSecurityID(const BinarySID& sid);
    // The same from the text form "S-1-...".
    static SecurityIDPtr CreateSecurityID(const std::u16string& sidText);
    // An identity as a machine resolved it. The cached entry is reused when
    // it says the same; otherwise the new object replaces it, except that
    // Unix accounts (S-1-22) of other machines are never kept.
    static SecurityIDPtr CreateSecurityID(const BinarySID& sid, const std::u16string& name,
                                          const std::u16string& domain, SIDType type);

    // Identities as a given server resolves them. A server that means this
    // computer (ZymNetwork::IsLocalComputer) answers from the account
    // database and from the cache above; any other goes to the installed
    // remote lookup, and its identities are made as the function above
    // makes them. Failures raise AccountLookupException with the system
    // text of the lookup's result code ("No mapping between account names
    // and security IDs was done." for an unknown account).
    //
    // A named account, "name" or "domain\name", as the system's account
    // lookup finds it. On Linux a user is found before a group of the same
    // name, the computer's own name is the domain of its users (S-1-22-1),
    // and the domain part must be empty or this computer.
    static SecurityIDPtr CreateSecurityID(const std::u16string& account,
                                          const std::u16string& server);
    // The account whose SID is the domain identity's SID followed by `rid`.
    static SecurityIDPtr CreateSecurityID(const SecurityIDPtr& domain, unsigned long rid,
                                          const std::u16string& server);
    // A binary SID; one already resolved (other than another machine's Unix
    // account) is not asked again.
    static SecurityIDPtr CreateSecurityIDFromPSID(const void* psid, const std::u16string& server);

    // Installs the lookup for other machines (null: none; lookups on other
    // machines then fail with RPC_S_SERVER_UNAVAILABLE). The lookup must
    // outlive every call made with it.
    static void SetRemoteAccountLookup(RemoteAccountLookup* lookup);

private:
    // `named` tells whether the account was resolved, and may be kept.
    static SecurityID* ResolveLocally(const BinarySID& sid, bool& named);
    static SecurityIDPtr Known(const BinarySID& sid);
    static SecurityIDPtr Resolved(const ResolvedAccount& account);
};

} // namespace ZymSecurity
