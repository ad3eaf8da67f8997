#include "AccountDatabase.h"
#include "Providers.h"
#include "network/NetworkPlatform.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>
#include <ZymSecurity/Exceptions.h>
#include <ZymSecurity/SecurityIDCache.h>

#include <algorithm>
#include <mutex>

namespace ZymWindows::Network {

namespace {

using ZymSecurity::BinarySID;

// The groups that make their members administrators, by preference; the
// group of gid 0 when the database knows none of them.
constexpr const char* ADMINISTRATOR_GROUPS[] = {"sudo", "wheel", "admin"};

std::string Narrow(const std::u16string& text) {
    return ZymCharset::ToUtf8(text);
}

std::u16string Wide(const std::string& text) {
    return ZymCharset::FromUtf8(text);
}

Account GroupAccount(const Platform::GroupEntry& group) {
    return Account{Wide(group.name), BinarySID::UnixGroup(group.gid)};
}

// "user" or "computer\user", the computer being this one.
std::optional<Platform::UserEntry> FindLocalUser(const std::u16string& account) {
    const std::size_t separator = account.rfind(u'\\');
    if (separator != std::u16string::npos && !IsThisComputer(account.substr(0, separator)))
        return std::nullopt;
    return Platform::FindUser(
        Narrow(separator == std::u16string::npos ? account : account.substr(separator + 1)));
}

// The users of a group: its member list, then those whose primary group it
// is, each once.
std::vector<Platform::UserEntry> MembersOf(const Platform::GroupEntry& group) {
    std::vector<Platform::UserEntry> members;
    const auto listed = [&members](uid_t uid) {
        return std::any_of(members.begin(), members.end(),
                           [uid](const Platform::UserEntry& user) { return user.uid == uid; });
    };
    for (const std::string& name : group.members)
        if (const auto user = Platform::FindUser(name); user && !listed(user->uid))
            members.push_back(*user);
    for (const Platform::UserEntry& user : Platform::AllUsers())
        if (user.gid == group.gid && !listed(user.uid))
            members.push_back(user);
    return members;
}

unsigned long GroupsOf(const std::u16string& account, std::vector<Account>& groups) {
    const std::optional<Platform::UserEntry> user = FindLocalUser(account);
    if (!user)
        return Zym::NERR_UserNotFound;
    for (const gid_t gid : Platform::GroupsOfUser(*user))
        if (const auto group = Platform::FindGroup(gid))
            groups.push_back(GroupAccount(*group));
    return 0;
}

unsigned long Resolved(const ZymSecurity::SecurityIDPtr& identity, ResolvedAccount& resolved) {
    if (identity->GetType() == ZymSecurity::SidTypeUnknown)
        return Zym::ERROR_NONE_MAPPED;
    resolved = ResolvedAccount{identity->GetSID(), identity->GetName(), identity->GetDomain(),
                               identity->GetType()};
    return 0;
}

// This computer's domain or workgroup: the first label of the host's DNS
// domain, else the workgroup that Windows and Samba name by default.
std::u16string WorkGroup() {
    const std::string name = Narrow(FullHostName());
    const std::size_t dot = name.find('.');
    const std::string label =
        dot == std::string::npos ? "" : name.substr(dot + 1, name.find('.', dot + 1) - dot - 1);
    return label.empty() ? u"WORKGROUP" : Wide(label);
}

// The display listing of users or groups, read from the database in one
// pass when a walk starts at index 0 and paged from that copy: a walk costs
// one read of the database, not one per page. Every listed account is
// handed to the identity cache as listed, so that its identity needs no
// second lookup.
class DisplayListing {
public:
    unsigned long Page(DisplayLevel level, unsigned long index, unsigned long count,
                       std::vector<DisplayEntry>& page) {
        // This computer keeps no machine accounts.
        if (level != DISPLAY_USERS && level != DISPLAY_GROUPS)
            return 0;
        std::lock_guard guard(m_Lock);
        std::vector<DisplayEntry>& all = level == DISPLAY_USERS ? m_Users : m_Groups;
        if (index == 0)
            all = Read(level);
        for (unsigned long i = index; i < all.size() && i - index < count; ++i)
            page.push_back(all[i]);
        return index + page.size() < all.size() ? static_cast<unsigned long>(Zym::ERROR_MORE_DATA)
                                                : 0UL;
    }

private:
    static std::vector<DisplayEntry> Read(DisplayLevel level) {
        const std::u16string domain = Zym::ToLower(ZymNetwork::GetComputerName());
        std::vector<DisplayEntry> all;
        const auto add = [&](const std::string& name, std::uint32_t id, const BinarySID& sid,
                             ZymSecurity::SIDType type) {
            all.push_back(DisplayEntry{Wide(name), id, all.size() + 1});
            ZymSecurity::SecurityIDCache::CreateSecurityID(sid, all.back().name, domain, type);
        };
        if (level == DISPLAY_USERS)
            for (const Platform::UserEntry& user : Platform::AllUsers())
                add(user.name, user.uid, BinarySID::UnixUser(user.uid), ZymSecurity::SidTypeUser);
        else
            for (const Platform::GroupEntry& group : Platform::AllGroups())
                add(group.name, group.gid, BinarySID::UnixGroup(group.gid),
                    ZymSecurity::SidTypeGroup);
        return all;
    }

    std::mutex m_Lock;
    std::vector<DisplayEntry> m_Users;  // guarded by m_Lock
    std::vector<DisplayEntry> m_Groups; // guarded by m_Lock
};

// This computer's accounts, from the system's account database. Users are
// S-1-22-1-uid and groups S-1-22-2-gid; every group is a local group.
class LocalProvider : public Provider {
public:
    // This computer is the only server it knows, and its workgroup the
    // only domain.
    unsigned long ServerEnum(const std::u16string&, unsigned long type,
                             std::vector<std::u16string>& names) override {
        names.push_back(type == SV_TYPE_DOMAIN_ENUM ? WorkGroup() : ZymNetwork::GetComputerName());
        return 0;
    }

    // A computer on its own is no domain.
    unsigned long GetDcName(const std::u16string&, bool, std::u16string&) override {
        return Zym::ERROR_NO_SUCH_DOMAIN;
    }

    unsigned long WkstaGetInfo(const std::u16string&, std::u16string& domain) override {
        domain = WorkGroup();
        return 0;
    }

    unsigned long ServerGetInfo(const std::u16string&) override { return 0; }

    // This computer shares nothing through the system's account database;
    // a local Samba server is reached by its address instead.
    unsigned long ShareEnum(const std::u16string&, std::vector<std::u16string>&) override {
        return 0;
    }

    unsigned long QueryDisplayInformation(const std::u16string&, DisplayLevel level,
                                          unsigned long index, unsigned long count,
                                          std::vector<DisplayEntry>& page) override {
        return m_Listing.Page(level, index, count, page);
    }

    unsigned long LocalGroupEnum(const std::u16string&, std::vector<Account>& groups) override {
        for (const Platform::GroupEntry& group : Platform::AllGroups())
            groups.push_back(GroupAccount(group));
        return 0;
    }

    unsigned long UserGetLocalGroups(const std::u16string&, const std::u16string& account,
                                     std::vector<Account>& groups) override {
        return GroupsOf(account, groups);
    }

    unsigned long UserGetGroups(const std::u16string&, const std::u16string& user,
                                std::vector<Account>& groups) override {
        return GroupsOf(user, groups);
    }

    unsigned long LocalGroupGetMembers(const std::u16string&, const std::u16string& name,
                                       std::vector<BinarySID>& members) override {
        const std::optional<Platform::GroupEntry> group = Platform::FindGroup(Narrow(name));
        if (!group)
            return Zym::ERROR_NO_SUCH_ALIAS;
        for (const Platform::UserEntry& user : MembersOf(*group))
            members.push_back(BinarySID::UnixUser(user.uid));
        return 0;
    }

    unsigned long GroupGetUsers(const std::u16string&, const std::u16string& name,
                                std::vector<Account>& users) override {
        const std::optional<Platform::GroupEntry> group = Platform::FindGroup(Narrow(name));
        if (!group)
            return Zym::NERR_GroupNotFound;
        for (const Platform::UserEntry& user : MembersOf(*group))
            users.push_back(Account{Wide(user.name), BinarySID::UnixUser(user.uid)});
        return 0;
    }

    // This computer by any of its names is the domain of its accounts.
    unsigned long LookupAccountName(const std::u16string&, const std::u16string& account,
                                    ResolvedAccount& resolved) override {
        const std::size_t separator = account.rfind(u'\\');
        const std::u16string name =
            separator == std::u16string::npos ? account : account.substr(separator + 1);
        if (separator != std::u16string::npos && !IsThisComputer(account.substr(0, separator)))
            return Zym::ERROR_NONE_MAPPED;
        try {
            return Resolved(
                ZymSecurity::SecurityIDCache::CreateSecurityID(
                    !name.empty() && IsThisComputer(name) ? ZymNetwork::GetComputerName() : name,
                    u""),
                resolved);
        } catch (const ZymSecurity::AccountLookupException&) {
            return Zym::ERROR_NONE_MAPPED;
        }
    }

    // The administrators alias (S-1-5-32-544) is the system's group of
    // administrators; every other SID resolves as the identity cache does.
    unsigned long LookupAccountSid(const std::u16string&, const BinarySID& sid,
                                   ResolvedAccount& resolved) override {
        if (sid == BinarySID(5, {32, 544}))
            return Administrators(resolved);
        return Resolved(ZymSecurity::SecurityIDCache::CreateSecurityID(sid), resolved);
    }

private:
    DisplayListing m_Listing;

    static unsigned long Administrators(ResolvedAccount& resolved) {
        std::optional<Platform::GroupEntry> group;
        for (const char* name : ADMINISTRATOR_GROUPS)
            if ((group = Platform::FindGroup(std::string(name))))
                break;
        if (!group)
            group = Platform::FindGroup(gid_t{0});
        if (!group)
            return Zym::ERROR_NONE_MAPPED;
        resolved = ResolvedAccount{BinarySID::UnixGroup(group->gid), Wide(group->name),
                                   ZymNetwork::GetComputerName(), ZymSecurity::SidTypeAlias};
        return 0;
    }
};

} // namespace

std::unique_ptr<Provider> MakeLocalProvider() {
    return std::make_unique<LocalProvider>();
}

} // namespace ZymWindows::Network
