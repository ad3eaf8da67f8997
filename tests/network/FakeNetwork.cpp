#include "FakeNetwork.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>

namespace nettest {

namespace {

constexpr unsigned long FIRST_USER_RID = 1000;
constexpr unsigned long GROUP_RID = 513;

BinarySID Rid(unsigned long rid) {
    std::vector<std::uint32_t> parts = {21, 1, 2, 3};
    parts.push_back(static_cast<std::uint32_t>(rid));
    return BinarySID(5, parts);
}

std::u16string UserName(unsigned int i) {
    const std::string name = "user" + std::to_string(i);
    return std::u16string(name.begin(), name.end());
}

// The name and the domain parts of "domain\name".
std::u16string NameOf(const std::u16string& account) {
    return account.substr(account.rfind(u'\\') + 1);
}

std::u16string DomainOf(const std::u16string& account) {
    const std::size_t separator = account.rfind(u'\\');
    return separator == std::u16string::npos ? u"" : account.substr(0, separator);
}

// The servers the queries may ask, as they build them: a machine's name
// lower-cased behind two backslashes, or corp's controllers as GetDcName
// gave them, lower-cased.
bool IsController(const std::u16string& server) {
    return server == u"\\\\dc1" || server == u"\\\\pdc";
}

bool IsServer(const std::u16string& server) {
    return server == u"\\\\fs" || IsController(server);
}

// Names account lookups accept for a server: any form of a known machine.
bool IsMachine(const std::u16string& name) {
    std::u16string bare = name;
    while (!bare.empty() && bare.front() == u'\\')
        bare.erase(0, 1);
    for (const char16_t* machine : {u"fs", u"dc1", u"pdc"})
        if (Zym::WNoCase::IsEqual(bare, machine))
            return true;
    return false;
}

bool IsGlobalGroup(const std::u16string& group) {
    return Zym::WNoCase::IsEqual(group, u"Admins") || Zym::WNoCase::IsEqual(group, u"Domain Users");
}

} // namespace

const BinarySID FakeNetwork::CORP_SID(5, {21, 1, 2, 3});

FakeNetwork::FakeNetwork(unsigned int users) : m_Users(users) {
    for (unsigned int i = 0; i < users; ++i)
        m_Accounts.push_back(
            {Rid(FIRST_USER_RID + 2 * i), UserName(i), u"CORP", ZymSecurity::SidTypeUser});
    m_Accounts.push_back({Rid(GROUP_RID), u"Domain Users", u"CORP", ZymSecurity::SidTypeGroup});
    m_Accounts.push_back({Rid(GROUP_RID + 1), u"Admins", u"CORP", ZymSecurity::SidTypeGroup});
    m_Accounts.push_back({CORP_SID, u"CORP", u"", ZymSecurity::SidTypeDomain});
    // The file server keeps no accounts of its own: its name stands for
    // the domain's.
    m_Accounts.push_back({CORP_SID, u"FS", u"", ZymSecurity::SidTypeDomain});
}

unsigned int FakeNetwork::Calls(const std::string& name) const {
    std::lock_guard guard(m_Lock);
    const auto found = m_Calls.find(name);
    return found == m_Calls.end() ? 0 : found->second;
}

std::vector<unsigned long> FakeNetwork::DisplayIndexes() const {
    std::lock_guard guard(m_Lock);
    return m_DisplayIndexes;
}

void FakeNetwork::Fail(const std::string& name, unsigned long result, unsigned int afterCalls) {
    std::lock_guard guard(m_Lock);
    m_Failures[name] = {result, m_Calls[name] + afterCalls};
}

void FakeNetwork::Hold(const std::string& name) {
    std::lock_guard guard(m_Lock);
    m_Held = name;
}

bool FakeNetwork::WaitUntilHeld(std::chrono::seconds patience) {
    std::unique_lock guard(m_Lock);
    return m_Changed.wait_for(guard, patience, [&] { return m_Waiting > 0; });
}

void FakeNetwork::Release() {
    std::lock_guard guard(m_Lock);
    m_Held.clear();
    m_Changed.notify_all();
}

unsigned long FakeNetwork::Enter(const std::string& name, bool knownServer) {
    std::unique_lock guard(m_Lock);
    const unsigned int made = m_Calls[name]++;
    if (m_Held == name) {
        ++m_Waiting;
        m_Changed.notify_all();
        m_Changed.wait(guard, [&] { return m_Held != name; });
        --m_Waiting;
    }
    const auto failure = m_Failures.find(name);
    if (failure != m_Failures.end() && made >= failure->second.second)
        return failure->second.first;
    return knownServer ? 0UL : static_cast<unsigned long>(Zym::NERR_InvalidComputer);
}

unsigned long FakeNetwork::ServerEnum(const std::u16string& domain, unsigned long type,
                                      std::vector<std::u16string>& names) {
    if (const unsigned long result = Enter("ServerEnum"))
        return result;
    if (domain.empty() && type == ZymWindows::Network::SV_TYPE_DOMAIN_ENUM)
        names = {u"CORP", u"Lab", u"wg"};
    else if (Zym::WNoCase::IsEqual(domain, u"corp") && type == ZymWindows::Network::SV_TYPE_ALL)
        names = {u"DC1", u"FileServer"};
    else
        return domain.empty() ? Zym::ERROR_INVALID_PARAMETER : Zym::NERR_InvalidComputer;
    return 0;
}

unsigned long FakeNetwork::GetDcName(const std::u16string& domain, bool primary,
                                     std::u16string& controller) {
    if (const unsigned long result = Enter(primary ? "GetDcName(primary)" : "GetDcName"))
        return result;
    if (domain == u"corp")
        controller = primary ? u"\\\\PDC" : u"\\\\DC1";
    else if (domain == u"lab")
        controller = u"\\\\LabDC";
    else
        return Zym::ERROR_NO_SUCH_DOMAIN;
    return 0;
}

unsigned long FakeNetwork::WkstaGetInfo(const std::u16string& machine, std::u16string& domain) {
    if (const unsigned long result = Enter("WkstaGetInfo", IsMachine(machine)))
        return result;
    domain = u"CORP";
    return 0;
}

unsigned long FakeNetwork::ServerGetInfo(const std::u16string& server) {
    return Enter("ServerGetInfo", Zym::WNoCase::IsEqual(server, u"fs"));
}

unsigned long FakeNetwork::ShareEnum(const std::u16string& server,
                                     std::vector<std::u16string>& shares) {
    if (const unsigned long result = Enter("ShareEnum", IsMachine(server)))
        return result;
    shares = {u"Docs", u"IPC$"};
    return 0;
}

// Users have rids 1000, 1002, ...; the next index is the entry's position
// plus one, times ten, so that a walk that guesses indexes goes wrong.
unsigned long FakeNetwork::QueryDisplayInformation(const std::u16string& server, DisplayLevel level,
                                                   unsigned long index, unsigned long count,
                                                   std::vector<DisplayEntry>& page) {
    if (const unsigned long result = Enter("QueryDisplayInformation", IsServer(server)))
        return result;
    {
        std::lock_guard guard(m_Lock);
        m_DisplayIndexes.push_back(index);
    }
    if (level == ZymWindows::Network::DISPLAY_GROUPS) {
        page = {{u"Domain Users", GROUP_RID, 1}, {u"Admins", GROUP_RID + 1, 2}};
        return 0;
    }
    if (level != ZymWindows::Network::DISPLAY_USERS)
        return Zym::ERROR_INVALID_PARAMETER;
    const unsigned long first = index / 10;
    for (unsigned long i = first; i < m_Users && i - first < count; ++i)
        page.push_back(
            {UserName(static_cast<unsigned int>(i)), FIRST_USER_RID + 2 * i, (i + 1) * 10});
    return first + page.size() < m_Users ? static_cast<unsigned long>(Zym::ERROR_MORE_DATA) : 0UL;
}

unsigned long FakeNetwork::LocalGroupEnum(const std::u16string& server,
                                          std::vector<Account>& groups) {
    if (const unsigned long result = Enter("LocalGroupEnum", IsServer(server)))
        return result;
    groups = {{u"Admins", {}}, {u"Domain Users", Rid(GROUP_RID)}};
    return 0;
}

// Accounts of corp, or of the machine asked, by lower-cased name; any
// lower-case user name is taken for a user of corp.
unsigned long FakeNetwork::UserGetLocalGroups(const std::u16string& server,
                                              const std::u16string& account,
                                              std::vector<Account>& groups) {
    if (const unsigned long result = Enter("UserGetLocalGroups", IsServer(server)))
        return result;
    const std::u16string domain = DomainOf(account);
    if (account != Zym::ToLower(account) ||
        (!domain.empty() && domain != u"corp" && domain != server.substr(2)))
        return Zym::NERR_UserNotFound;
    groups = {{u"Admins", {}}};
    return 0;
}

unsigned long FakeNetwork::UserGetGroups(const std::u16string& server, const std::u16string& user,
                                         std::vector<Account>& groups) {
    if (const unsigned long result = Enter("UserGetGroups", IsController(server)))
        return result;
    if (!DomainOf(user).empty())
        return Zym::NERR_UserNotFound;
    groups = {{u"Domain Users", {}}, {u"Admins", {}}};
    return 0;
}

unsigned long FakeNetwork::LocalGroupGetMembers(const std::u16string& server,
                                                const std::u16string& group,
                                                std::vector<BinarySID>& members) {
    if (const unsigned long result = Enter("LocalGroupGetMembers", IsServer(server)))
        return result;
    if (group != u"admins" && group != u"domain users")
        return Zym::ERROR_NO_SUCH_ALIAS;
    members = {Rid(FIRST_USER_RID), Rid(GROUP_RID)};
    return 0;
}

unsigned long FakeNetwork::GroupGetUsers(const std::u16string& server, const std::u16string& group,
                                         std::vector<Account>& users) {
    if (const unsigned long result = Enter("GroupGetUsers", IsController(server)))
        return result;
    if (!IsGlobalGroup(group))
        return Zym::NERR_GroupNotFound;
    users = {{u"user0", {}}};
    return 0;
}

// Names of corp's accounts, bare or behind "corp\" in any case.
unsigned long FakeNetwork::LookupAccountName(const std::u16string& server,
                                             const std::u16string& account,
                                             ResolvedAccount& resolved) {
    if (const unsigned long result = Enter("LookupAccountName"))
        return result;
    if (!IsMachine(server))
        return Zym::RPC_S_SERVER_UNAVAILABLE;
    const std::u16string domain = DomainOf(account);
    if (!domain.empty() && !Zym::WNoCase::IsEqual(domain, u"corp"))
        return Zym::ERROR_NONE_MAPPED;
    for (const ResolvedAccount& known : m_Accounts)
        if (Zym::WNoCase::IsEqual(known.name, NameOf(account))) {
            resolved = known;
            return 0;
        }
    return Zym::ERROR_NONE_MAPPED;
}

unsigned long FakeNetwork::LookupAccountSid(const std::u16string& server, const BinarySID& sid,
                                            ResolvedAccount& resolved) {
    if (const unsigned long result = Enter("LookupAccountSid"))
        return result;
    if (sid == BinarySID(5, {32, 544})) {
        resolved = {sid, u"Administratoren", u"BUILTIN", ZymSecurity::SidTypeAlias};
        return 0;
    }
    if (!IsMachine(server))
        return Zym::RPC_S_SERVER_UNAVAILABLE;
    for (const ResolvedAccount& known : m_Accounts)
        if (known.sid == sid) {
            resolved = known;
            return 0;
        }
    return Zym::ERROR_NONE_MAPPED;
}

} // namespace nettest
