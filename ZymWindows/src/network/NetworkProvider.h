#pragma once

#include <ZymSecurity/BinarySID.h>
#include <ZymSecurity/RemoteAccountLookup.h>

#include <memory>
#include <string>
#include <vector>

namespace ZymWindows::Network {

// An account or group as a network call lists it. The SID is set when the
// call itself gives it (or the provider knows it without another round
// trip); otherwise it is the null SID and the identity is resolved by name.
struct Account {
    std::u16string name;
    ZymSecurity::BinarySID sid;
    bool HasSID() const { return sid != ZymSecurity::BinarySID(); }
};

// One entry of a paged display listing: the account's name, its relative id
// in the server's domain and the index at which the next page starts.
struct DisplayEntry {
    std::u16string name;
    unsigned long rid = 0;
    unsigned long nextIndex = 0;
};

// Levels of QueryDisplayInformation.
enum DisplayLevel : unsigned long { DISPLAY_USERS = 1, DISPLAY_MACHINES = 2, DISPLAY_GROUPS = 3 };

// NetServerEnum server types. Where <lm.h> came first, its own names stand
// (same values).
#if !defined(SV_TYPE_ALL)
constexpr unsigned long SV_TYPE_ALL = 0xFFFFFFFFUL;
constexpr unsigned long SV_TYPE_DOMAIN_ENUM = 0x80000000UL;
#endif

// An account as a server resolves it.
using ZymSecurity::ResolvedAccount;

// The network management calls the queries make, one function per call.
// Each returns the call's Win32 or NERR result code (0 on success) and
// fills its outputs only on success, except that a paged listing also
// fills its page when it returns ERROR_MORE_DATA (234). Server and machine
// names arrive exactly as the caller built them: "\\name", "name" or empty.
// Every call ends within the provider's time limit (on Windows, the
// system's own). Implementations are called from any thread.
class Provider {
public:
    virtual ~Provider() = default;

    // NetServerEnum, level 100: the names of the servers of `type` in
    // `domain` (empty: this machine's domain); with SV_TYPE_DOMAIN_ENUM the
    // names of the domains and workgroups.
    virtual unsigned long ServerEnum(const std::u16string& domain, unsigned long type,
                                     std::vector<std::u16string>& names) = 0;
    // DsGetDcName: the controller of `domain` as "\\name", a primary one if
    // asked.
    virtual unsigned long GetDcName(const std::u16string& domain, bool primary,
                                    std::u16string& controller) = 0;
    // NetWkstaGetInfo, level 100: the machine's domain or workgroup.
    virtual unsigned long WkstaGetInfo(const std::u16string& machine, std::u16string& domain) = 0;
    // NetServerGetInfo, level 100: whether the name answers as a server.
    virtual unsigned long ServerGetInfo(const std::u16string& server) = 0;
    // NetShareEnum, level 1: every share's name, hidden ones included.
    virtual unsigned long ShareEnum(const std::u16string& server,
                                    std::vector<std::u16string>& shares) = 0;
    // NetQueryDisplayInformation: up to `count` entries from `index` on;
    // ERROR_MORE_DATA when entries follow the page.
    virtual unsigned long QueryDisplayInformation(const std::u16string& server, DisplayLevel level,
                                                  unsigned long index, unsigned long count,
                                                  std::vector<DisplayEntry>& page) = 0;
    // NetLocalGroupEnum, level 0.
    virtual unsigned long LocalGroupEnum(const std::u16string& server,
                                         std::vector<Account>& groups) = 0;
    // NetUserGetLocalGroups, level 0, indirect memberships included;
    // `account` is "user" or "domain\user".
    virtual unsigned long UserGetLocalGroups(const std::u16string& server,
                                             const std::u16string& account,
                                             std::vector<Account>& groups) = 0;
    // NetUserGetGroups, level 0.
    virtual unsigned long UserGetGroups(const std::u16string& server, const std::u16string& user,
                                        std::vector<Account>& groups) = 0;
    // NetLocalGroupGetMembers, level 0: the members' SIDs.
    virtual unsigned long LocalGroupGetMembers(const std::u16string& server,
                                               const std::u16string& group,
                                               std::vector<ZymSecurity::BinarySID>& members) = 0;
    // NetGroupGetUsers, level 0.
    virtual unsigned long GroupGetUsers(const std::u16string& server, const std::u16string& group,
                                        std::vector<Account>& users) = 0;
    // LookupAccountName and LookupAccountSid on a server; ERROR_NONE_MAPPED
    // (1332) for an account the server does not know.
    virtual unsigned long LookupAccountName(const std::u16string& server,
                                            const std::u16string& account,
                                            ResolvedAccount& resolved) = 0;
    virtual unsigned long LookupAccountSid(const std::u16string& server,
                                           const ZymSecurity::BinarySID& sid,
                                           ResolvedAccount& resolved) = 0;
};

// The provider that answers for every machine and domain as the system
// reaches them: the one the queries go through unless a test installs its
// own.
std::unique_ptr<Provider> MakeSystemProvider();

} // namespace ZymWindows::Network
