#pragma once

#include <ZymSecurity/SecurityID.h>

#include <Zym/SmartPtr.h>

namespace ZymSecurity {

using SecurityIDPtr = Zym::SmartPtrToConst<SecurityID>;

// Hands out shared SecurityID objects. Identities resolved on this machine
// are looked up once and reused for the life of the process; all functions
// may be called from any thread.
class SecurityIDCache {
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

private:
    static SecurityID* ResolveLocally(const BinarySID& sid);
};

} // namespace ZymSecurity
