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
    // Resolves a SID on this machine: Unix users and groups get their name
    // from the account database and the local computer name as domain; an
    // account the database does not know is named by its number; other SIDs
    // stay unnamed, of type SidTypeUnknown.
    static SecurityIDPtr CreateSecurityIDFromPSID(const void* psid);
    static SecurityIDPtr CreateSecurityID(const BinarySID& sid);
    // The same from the text form "S-1-...".
    static SecurityIDPtr CreateSecurityID(const std::u16string& sidText);
    // An identity as another machine resolved it. The local entry is reused
    // when it says the same; otherwise a new object is made and not kept, so
    // that identities from peers never grow the cache.
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
    // A named account, "name" or "domain\name". On this computer a user is
    // found before a group of the same name, the computer's own name is the
    // domain of its users (S-1-22-1), and the domain part must be empty or
    // this computer.
    static SecurityIDPtr CreateSecurityID(const std::u16string& account,
                                          const std::u16string& server);
    // The account whose SID is the domain identity's SID followed by `rid`.
    static SecurityIDPtr CreateSecurityID(const SecurityIDPtr& domain, unsigned long rid,
                                          const std::u16string& server);
    // A binary SID.
    static SecurityIDPtr CreateSecurityIDFromPSID(const void* psid, const std::u16string& server);

    // Installs the lookup for other machines (null: none; lookups on other
    // machines then fail with RPC_S_SERVER_UNAVAILABLE). The lookup must
    // outlive every call made with it.
    static void SetRemoteAccountLookup(RemoteAccountLookup* lookup);

private:
    static SecurityID* ResolveLocally(const BinarySID& sid);
    static SecurityIDPtr Resolved(const ResolvedAccount& account);
};

} // namespace ZymSecurity
