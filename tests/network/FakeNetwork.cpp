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

// The name part of "domain\name".
std::u16string NameOf(const std::u16string& account) {
    const std::size_t separator = account.rfind(u'\\');
    return separator == std::u16string::npos ? account : account.substr(separator + 1);
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

unsigned long FakeNetwork::Enter(const std::string& name) {
    std::lock_guard guard(m_Lock);
    const unsigned int made = m_Calls[name]++;
    const auto failure = m_Failures.find(name);
    return failure != m_Failures.end() && made >= failure->second.second ? failure->second.first
                                                                         : 0;
}

unsigned long FakeNetwork::ServerEnum(const std::u16string& domain, unsigned long,
                                      std::vector<std::u16string>& names) {
    if (const unsigned long result = Enter("ServerEnum"))
        return result;
    if (domain.empty())
        names = {u"CORP", u"Lab", u"wg"};
    else if (Zym::WNoCase::IsEqual(domain, u"corp"))
        names = {u"DC1", u"FileServer"};
    else
        return Zym::NERR_InvalidComputer;
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

unsigned long FakeNetwork::WkstaGetInfo(const std::u16string&, std::u16string& domain) {
    if (const unsigned long result = Enter("WkstaGetInfo"))
        return result;
    domain = u"CORP";
    return 0;
}

unsigned long FakeNetwork::ServerGetInfo(const std::u16string& server) {
    if (const unsigned long result = Enter("ServerGetInfo"))
        return result;
    return Zym::WNoCase::IsEqual(server, u"fs")
               ? 0UL
               : static_cast<unsigned long>(Zym::NERR_InvalidComputer);
}

unsigned long FakeNetwork::ShareEnum(const std::u16string&, std::vector<std::u16string>& shares) {
    if (const unsigned long result = Enter("ShareEnum"))
        return result;
    shares = {u"Docs", u"IPC$"};
    return 0;
}

// Users have rids 1000, 1002, ...; the next index is the entry's position
// plus one, times ten, so that a walk that guesses indexes goes wrong.
unsigned long FakeNetwork::QueryDisplayInformation(const std::u16string&, DisplayLevel level,
                                                   unsigned long index, unsigned long count,
                                                   std::vector<DisplayEntry>& page) {
    if (const unsigned long result = Enter("QueryDisplayInformation"))
        return result;
    {
        std::lock_guard guard(m_Lock);
        m_DisplayIndexes.push_back(index);
    }
    if (level == ZymWindows::Network::DISPLAY_GROUPS) {
        page = {{u"Domain Users", GROUP_RID, 1}, {u"Admins", GROUP_RID + 1, 2}};
        return 0;
    }
    const unsigned long first = index / 10;
    for (unsigned long i = first; i < m_Users && i - first < count; ++i)
        page.push_back(
            {UserName(static_cast<unsigned int>(i)), FIRST_USER_RID + 2 * i, (i + 1) * 10});
    return first + page.size() < m_Users ? static_cast<unsigned long>(Zym::ERROR_MORE_DATA) : 0UL;
}

unsigned long FakeNetwork::LocalGroupEnum(const std::u16string&, std::vector<Account>& groups) {
    if (const unsigned long result = Enter("LocalGroupEnum"))
        return result;
    groups = {{u"Admins", {}}, {u"Domain Users", Rid(GROUP_RID)}};
    return 0;
}

unsigned long FakeNetwork::UserGetLocalGroups(const std::u16string&, const std::u16string&,
                                              std::vector<Account>& groups) {
    if (const unsigned long result = Enter("UserGetLocalGroups"))
        return result;
    groups = {{u"Admins", {}}};
    return 0;
}

unsigned long FakeNetwork::UserGetGroups(const std::u16string&, const std::u16string&,
                                         std::vector<Account>& groups) {
    if (const unsigned long result = Enter("UserGetGroups"))
        return result;
    groups = {{u"Domain Users", {}}, {u"Admins", {}}};
    return 0;
}

unsigned long FakeNetwork::LocalGroupGetMembers(const std::u16string&, const std::u16string&,
                                                std::vector<BinarySID>& members) {
    if (const unsigned long result = Enter("LocalGroupGetMembers"))
        return result;
    members = {Rid(FIRST_USER_RID), Rid(GROUP_RID)};
    return 0;
}

unsigned long FakeNetwork::GroupGetUsers(const std::u16string&, const std::u16string&,
                                         std::vector<Account>& users) {
    if (const unsigned long result = Enter("GroupGetUsers"))
        return result;
    users = {{u"user0", {}}};
    return 0;
}

unsigned long FakeNetwork::LookupAccountName(const std::u16string&, const std::u16string& account,
                                             ResolvedAccount& resolved) {
    if (const unsigned long result = Enter("LookupAccountName"))
        return result;
    for (const ResolvedAccount& known : m_Accounts)
        if (Zym::WNoCase::IsEqual(known.name, NameOf(account))) {
            resolved = known;
            return 0;
        }
    return Zym::ERROR_NONE_MAPPED;
}

unsigned long FakeNetwork::LookupAccountSid(const std::u16string&, const BinarySID& sid,
                                            ResolvedAccount& resolved) {
    if (const unsigned long result = Enter("LookupAccountSid"))
        return result;
    if (sid == BinarySID(5, {32, 544})) {
        resolved = {sid, u"Administratoren", u"BUILTIN", ZymSecurity::SidTypeAlias};
        return 0;
    }
    for (const ResolvedAccount& known : m_Accounts)
        if (known.sid == sid) {
            resolved = known;
            return 0;
        }
    return Zym::ERROR_NONE_MAPPED;
}

} // namespace nettest
