#pragma once

#include "network/NetworkProvider.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace nettest {

using ZymSecurity::BinarySID;
using ZymWindows::Network::Account;
using ZymWindows::Network::DisplayEntry;
using ZymWindows::Network::DisplayLevel;
using ZymWindows::Network::ResolvedAccount;

// A scripted network: one domain "corp" (controller "\\DC1", primary
// "\\PDC") with users and global groups, a domain "lab" (controller
// "\\LabDC"), a workgroup "wg" without a controller and a file server "fs"
// of corp with the local groups "Admins" and "Domain Users". Every call
// checks what it is asked: servers as the queries build them (lower-cased
// "\\name" of a machine or of a controller), accounts and groups by name,
// and answers as the platform would for anything else. Calls are counted
// by name; a result code set for a call name makes that call fail, and a
// held call name makes its calls wait until released.
class FakeNetwork : public ZymWindows::Network::Provider {
public:
    static const BinarySID CORP_SID;

    explicit FakeNetwork(unsigned int users = 3);

    // Calls made so far, by name ("QueryDisplayInformation", ...).
    unsigned int Calls(const std::string& name) const;
    // Display listing indexes asked for, in order.
    std::vector<unsigned long> DisplayIndexes() const;
    // Makes every later call of `name` return `result` (0: succeed again);
    // with `afterCalls`, only once that many calls of it have succeeded.
    void Fail(const std::string& name, unsigned long result, unsigned int afterCalls = 0);
    // Makes later calls of `name` wait inside the call until Release.
    void Hold(const std::string& name);
    // Waits until a call is held; false if none came within `patience`.
    bool WaitUntilHeld(std::chrono::seconds patience);
    void Release();

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
                                       std::vector<BinarySID>& members) override;
    unsigned long GroupGetUsers(const std::u16string& server, const std::u16string& group,
                                std::vector<Account>& users) override;
    unsigned long LookupAccountName(const std::u16string& server, const std::u16string& account,
                                    ResolvedAccount& resolved) override;
    unsigned long LookupAccountSid(const std::u16string& server, const BinarySID& sid,
                                   ResolvedAccount& resolved) override;

private:
    // Counts the call; its scripted failure, else NERR_InvalidComputer for
    // a server it does not know, else 0.
    unsigned long Enter(const std::string& name, bool knownServer = true);

    mutable std::mutex m_Lock;
    std::condition_variable m_Changed;
    std::string m_Held;
    unsigned int m_Waiting = 0;
    std::map<std::string, unsigned int> m_Calls;
    std::map<std::string, std::pair<unsigned long, unsigned int>> m_Failures;
    std::vector<unsigned long> m_DisplayIndexes;
    std::vector<ResolvedAccount> m_Accounts; // corp's users, then its groups
    unsigned int m_Users;
};

} // namespace nettest
