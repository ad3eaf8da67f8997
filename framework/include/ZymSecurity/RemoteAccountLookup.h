#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/BinarySID.h>
#include <ZymSecurity/SecurityID.h>

#include <string>

namespace ZymSecurity {

// An account as a machine resolves it.
struct ZYM_EXPORT ResolvedAccount {
    BinarySID sid;
    std::u16string name;
    std::u16string domain;
    SIDType type = SidTypeUnknown;
};

// How accounts are resolved on machines other than this one. The library
// that can reach other machines installs one; each function returns a Win32
// result code, ERROR_NONE_MAPPED (1332) for an account the machine does not
// know, and may be called from any thread.
class ZYM_EXPORT RemoteAccountLookup {
public:
    virtual ~RemoteAccountLookup() = default;
    virtual unsigned long LookupAccountName(const std::u16string& server,
                                            const std::u16string& account,
                                            ResolvedAccount& resolved) = 0;
    virtual unsigned long LookupAccountSid(const std::u16string& server, const BinarySID& sid,
                                           ResolvedAccount& resolved) = 0;
};

} // namespace ZymSecurity
