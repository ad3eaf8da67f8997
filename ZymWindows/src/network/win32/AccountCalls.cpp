// The account side of the provider: display listings, groups and their
// members, and the account lookups.

#include "NetApi.h"
#include "NetApiProvider.h"

namespace ZymWindows::Network {

using Win32::CallText;
using Win32::FromCall;
using Win32::NetBuffer;

namespace {

DisplayEntry Listed(const NET_DISPLAY_USER& user) {
    return {FromCall(user.usri1_name), user.usri1_user_id, user.usri1_next_index};
}

DisplayEntry Listed(const NET_DISPLAY_MACHINE& machine) {
    return {FromCall(machine.usri2_name), machine.usri2_user_id, machine.usri2_next_index};
}

DisplayEntry Listed(const NET_DISPLAY_GROUP& group) {
    return {FromCall(group.grpi3_name), group.grpi3_group_id, group.grpi3_next_index};
}

// One page of a display listing; a page that more entries follow is kept
// too.
template <class Entry>
unsigned long DisplayPage(const std::u16string& server, DWORD level, DWORD index, DWORD count,
                          std::vector<DisplayEntry>& page) {
    NetBuffer<Entry> buffer;
    DWORD returned = 0;
    const NET_API_STATUS result = ::NetQueryDisplayInformation(
        CallText(server), level, index, count, MAX_PREFERRED_LENGTH, &returned, buffer.Untyped());
    if (result == NERR_Success || result == ERROR_MORE_DATA)
        for (const Entry& entry : buffer.Entries(returned))
            page.push_back(Listed(entry));
    return result;
}

// The accounts of a successful listing, by name.
template <class Info>
void AppendAccounts(const NetBuffer<Info>& buffer, DWORD read, LPWSTR Info::*name,
                    std::vector<Account>& accounts) {
    for (const Info& info : buffer.Entries(read))
        accounts.push_back(Account{FromCall(info.*name), {}});
}

// The machine that the lookups ask: this one for an empty name.
const wchar_t* SystemName(const std::u16string& server) {
    return server.empty() ? nullptr : CallText(server);
}

} // namespace

unsigned long NetApiProvider::QueryDisplayInformation(const std::u16string& server,
                                                      DisplayLevel level, unsigned long index,
                                                      unsigned long count,
                                                      std::vector<DisplayEntry>& page) {
    switch (level) {
    case DISPLAY_USERS:
        return DisplayPage<NET_DISPLAY_USER>(server, level, index, count, page);
    case DISPLAY_MACHINES:
        return DisplayPage<NET_DISPLAY_MACHINE>(server, level, index, count, page);
    case DISPLAY_GROUPS:
        return DisplayPage<NET_DISPLAY_GROUP>(server, level, index, count, page);
    }
    return ERROR_INVALID_LEVEL;
}

unsigned long NetApiProvider::LocalGroupEnum(const std::u16string& server,
                                             std::vector<Account>& groups) {
    NetBuffer<LOCALGROUP_INFO_0> buffer;
    DWORD read = 0, total = 0;
    const NET_API_STATUS result = ::NetLocalGroupEnum(CallText(server), 0, buffer.Bytes(),
                                                      MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    if (result == NERR_Success)
        AppendAccounts(buffer, read, &LOCALGROUP_INFO_0::lgrpi0_name, groups);
    return result;
}

unsigned long NetApiProvider::UserGetLocalGroups(const std::u16string& server,
                                                 const std::u16string& account,
                                                 std::vector<Account>& groups) {
    NetBuffer<LOCALGROUP_USERS_INFO_0> buffer;
    DWORD read = 0, total = 0;
    const NET_API_STATUS result =
        ::NetUserGetLocalGroups(CallText(server), CallText(account), 0, LG_INCLUDE_INDIRECT,
                                buffer.Bytes(), MAX_PREFERRED_LENGTH, &read, &total);
    if (result == NERR_Success)
        AppendAccounts(buffer, read, &LOCALGROUP_USERS_INFO_0::lgrui0_name, groups);
    return result;
}

unsigned long NetApiProvider::UserGetGroups(const std::u16string& server,
                                            const std::u16string& user,
                                            std::vector<Account>& groups) {
    NetBuffer<GROUP_USERS_INFO_0> buffer;
    DWORD read = 0, total = 0;
    const NET_API_STATUS result = ::NetUserGetGroups(
        CallText(server), CallText(user), 0, buffer.Bytes(), MAX_PREFERRED_LENGTH, &read, &total);
    if (result == NERR_Success)
        AppendAccounts(buffer, read, &GROUP_USERS_INFO_0::grui0_name, groups);
    return result;
}

unsigned long NetApiProvider::LocalGroupGetMembers(const std::u16string& server,
                                                   const std::u16string& group,
                                                   std::vector<ZymSecurity::BinarySID>& members) {
    NetBuffer<LOCALGROUP_MEMBERS_INFO_0> buffer;
    DWORD read = 0, total = 0;
    const NET_API_STATUS result =
        ::NetLocalGroupGetMembers(CallText(server), CallText(group), 0, buffer.Bytes(),
                                  MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    if (result == NERR_Success)
        for (const LOCALGROUP_MEMBERS_INFO_0& member : buffer.Entries(read))
            members.push_back(ZymSecurity::BinarySID::FromPSID(member.lgrmi0_sid));
    return result;
}

unsigned long NetApiProvider::GroupGetUsers(const std::u16string& server,
                                            const std::u16string& group,
                                            std::vector<Account>& users) {
    NetBuffer<GROUP_USERS_INFO_0> buffer;
    DWORD read = 0, total = 0;
    const NET_API_STATUS result =
        ::NetGroupGetUsers(CallText(server), CallText(group), 0, buffer.Bytes(),
                           MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    if (result == NERR_Success)
        AppendAccounts(buffer, read, &GROUP_USERS_INFO_0::grui0_name, users);
    return result;
}

// The call gives the SID, its domain and its kind; the name as the server
// spells it comes from the SID.
unsigned long NetApiProvider::LookupAccountName(const std::u16string& server,
                                                const std::u16string& account,
                                                ResolvedAccount& resolved) {
    std::vector<unsigned char> sid;
    std::vector<wchar_t> domain;
    DWORD sidSize = 0, domainLength = 0;
    SID_NAME_USE use{};
    while (!::LookupAccountNameW(SystemName(server), CallText(account), sid.data(), &sidSize,
                                 domain.data(), &domainLength, &use)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER ||
            (sidSize <= sid.size() && domainLength <= domain.size()))
            return error;
        sid.resize(sidSize);
        domain.resize(domainLength);
    }
    ResolvedAccount found;
    if (const unsigned long result =
            LookupAccountSid(server, ZymSecurity::BinarySID::FromPSID(sid.data()), found))
        return result;
    resolved = std::move(found);
    return ERROR_SUCCESS;
}

unsigned long NetApiProvider::LookupAccountSid(const std::u16string& server,
                                               const ZymSecurity::BinarySID& sid,
                                               ResolvedAccount& resolved) {
    PSID psid = const_cast<unsigned char*>(sid.Bytes().data());
    std::vector<wchar_t> name, domain;
    DWORD nameLength = 0, domainLength = 0;
    SID_NAME_USE use{};
    while (!::LookupAccountSidW(SystemName(server), psid, name.data(), &nameLength, domain.data(),
                                &domainLength, &use)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER ||
            (nameLength <= name.size() && domainLength <= domain.size()))
            return error;
        name.resize(nameLength);
        domain.resize(domainLength);
    }
    resolved = ResolvedAccount{sid, FromCall(name.data()), FromCall(domain.data()),
                               static_cast<ZymSecurity::SIDType>(use)};
    return ERROR_SUCCESS;
}

} // namespace ZymWindows::Network
