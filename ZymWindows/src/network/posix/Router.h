#pragma once

#include "network/NetworkProvider.h"

#include <memory>
#include <mutex>

namespace ZymWindows::Network {

// Sends every call about this computer ("", ".", "localhost", "\\", its
// name or its full host name, in any case and with or without two leading
// backslashes) to the local provider and every other to the remote one, which is made on its
// first use. The network-wide listings (domains, and the servers of a
// domain that does not name this computer) go to the remote provider, and
// so do the questions of this computer's domain and its controller while
// Samba is set up.
class Router : public Provider {
public:
    Router(std::unique_ptr<Provider> local, std::unique_ptr<Provider> (*makeRemote)());

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

private:
    Provider& For(const std::u16string& machine);
    Provider& Remote();

    std::unique_ptr<Provider> m_Local;
    std::unique_ptr<Provider> (*m_MakeRemote)();
    std::once_flag m_RemoteMade;
    std::unique_ptr<Provider> m_Remote;
};

} // namespace ZymWindows::Network
