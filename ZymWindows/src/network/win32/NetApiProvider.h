#pragma once

#include "network/NetworkProvider.h"

namespace ZymWindows::Network {

// The network management calls of netapi32 and the account lookups of
// advapi32, made as the queries ask them: the system answers for this
// computer and for every other machine and domain alike.
class NetApiProvider : public Provider {
public:
    unsigned long ServerEnum(const std::u16string& domain, unsigned long type,
                             std::vector<std::u16string>& names) override;
    unsigned long GetDcName(const std::u16string& domain, bool primary,
                            std::u16string& controller) override;
    unsigned long WkstaGetInfo(const std::u16string& machine, std::u16string& domain) override;
    unsigned long ServerGetInfo(const std::u16string& server) override;
    unsigned long ShareEnum(const std::u16string& server,
                            std::vector<std::u16string>& shares) override;
    unsigned long QueryDisplayInformation(const std::u16string& server, DisplayLevel level,
                                          unsigned long index, unsigned long count,
                                          std::vector<DisplayEntry>& page) override;
    unsigned long LocalGroupEnum(const std::u16string& server,
                                 std::vector<Account>& groups) override;
    unsigned long UserGetLocalGroups(const std::u16string& server, const std::u16string& account,
                                     std::vector<Account>& groups) override;
    unsigned long UserGetGroups(const std::u16string& server, const std::u16string& user,
                                std::vector<Account>& groups) override;
    unsigned long LocalGroupGetMembers(const std::u16string& server, const std::u16string& group,
                                       std::vector<ZymSecurity::BinarySID>& members) override;
    unsigned long GroupGetUsers(const std::u16string& server, const std::u16string& group,
                                std::vector<Account>& users) override;
    unsigned long LookupAccountName(const std::u16string& server, const std::u16string& account,
                                    ResolvedAccount& resolved) override;
    unsigned long LookupAccountSid(const std::u16string& server, const ZymSecurity::BinarySID& sid,
                                   ResolvedAccount& resolved) override;
};

} // namespace ZymWindows::Network
