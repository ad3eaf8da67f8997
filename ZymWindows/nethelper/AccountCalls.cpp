#include "Calls.h"

#include "HelperCodes.h"
#include "SambaSession.h"

#include <cstdlib>
#include <map>
#include <utility>

#include <netapi.h>

namespace ZymWindows::NetHelper {

namespace {

// The listing calls share one shape: a buffer of `Record`s, one name each.
template <class Record, class Call, class Name>
std::uint32_t Listing(Response& response, Call call, Name name) {
    void* buffer = nullptr;
    std::uint32_t read = 0;
    const std::uint32_t status = call(&buffer, &read);
    if ((status == 0 || status == ERROR_MORE_DATA_CODE) && buffer != nullptr)
        ForEach<Record>(buffer, read,
                        [&](const Record& record) { response.entries.push_back(name(record)); });
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    return status;
}

Entry Named(const char* name) {
    return Entry{name != nullptr ? name : "", "", 0, 0};
}

// The built-in aliases' SIDs are known without asking.
void AddBuiltinSids(Response& response) {
    for (Entry& entry : response.entries)
        if (const BuiltinAlias* alias = BuiltinAliasNamed(entry.name))
            entry.text = BuiltinSid(*alias);
}

// The names of the accounts the display listings gave, by server and level
// and relative id: a listing names its accounts, so resolving each of them
// afterwards needs no walk of its own. A walk from the start renews them.
std::map<std::pair<std::string, std::uint32_t>, std::map<std::uint32_t, std::string>> g_Listed;

} // namespace

// The domain's name and SID as the server knows them.
std::uint32_t ServerDomain(const char* server, std::string& name, std::string& sid) {
    void* buffer = nullptr;
    const std::uint32_t status =
        Status(NetUserModalsGet(server, 2, reinterpret_cast<uint8_t**>(&buffer)));
    if (status == 0 && buffer != nullptr) {
        const auto* info = static_cast<const USER_MODALS_INFO_2*>(buffer);
        name = info->usrmod2_domain_name != nullptr ? info->usrmod2_domain_name : "";
        sid = SidText(info->usrmod2_domain_id);
    }
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    return status;
}

// One page of a display listing; 234 when entries follow it.
std::uint32_t DisplayPage(const char* server, std::uint32_t level, std::uint32_t index,
                          std::uint32_t count, Response& response) {
    void* buffer = nullptr;
    std::uint32_t read = 0;
    const std::uint32_t status = Status(
        NetQueryDisplayInformation(server, level, index, count, MAX_PREFERRED, &read, &buffer));
    std::map<std::uint32_t, std::string>& listed =
        g_Listed[{server != nullptr ? server : "", level}];
    if (index == 0)
        listed.clear();
    const std::size_t before = response.entries.size();
    if ((status == 0 || status == ERROR_MORE_DATA_CODE) && buffer != nullptr) {
        if (level == DISPLAY_USERS_LEVEL)
            ForEach<NET_DISPLAY_USER>(buffer, read, [&](const NET_DISPLAY_USER& user) {
                response.entries.push_back(
                    {user.usri1_name, "", user.usri1_user_id, user.usri1_next_index});
            });
        else if (level == DISPLAY_MACHINES_LEVEL)
            ForEach<NET_DISPLAY_MACHINE>(buffer, read, [&](const NET_DISPLAY_MACHINE& machine) {
                response.entries.push_back(
                    {machine.usri2_name, "", machine.usri2_user_id, machine.usri2_next_index});
            });
        else
            ForEach<NET_DISPLAY_GROUP>(buffer, read, [&](const NET_DISPLAY_GROUP& group) {
                response.entries.push_back(
                    {group.grpi3_name, "", group.grpi3_group_id, group.grpi3_next_index});
            });
    }
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    for (std::size_t i = before; i < response.entries.size(); ++i)
        listed[response.entries[i].a] = response.entries[i].name;
    // Past the end Samba answers 0 with nothing, as Windows does.
    return status;
}

// The name of the account with relative id `rid` in a display listing of
// the server's domain, as the last listing gave it or else by walking the
// listing; 1332 when the listing has none.
std::uint32_t FindByRid(const char* server, std::uint32_t level, std::uint32_t rid,
                        std::string& name) {
    const auto listing = g_Listed.find({server != nullptr ? server : "", level});
    if (listing != g_Listed.end()) {
        const auto found = listing->second.find(rid);
        if (found != listing->second.end()) {
            name = found->second;
            return 0;
        }
    }
    std::uint32_t index = 0;
    std::uint32_t status;
    Response page;
    do {
        page.entries.clear();
        status = DisplayPage(server, level, index, 200, page);
        if (status != 0 && status != ERROR_MORE_DATA_CODE)
            return status;
        for (const Entry& entry : page.entries) {
            if (entry.a == rid) {
                name = entry.name;
                return 0;
            }
            index = entry.b;
        }
    } while (status == ERROR_MORE_DATA_CODE && !page.entries.empty());
    return ERROR_NONE_MAPPED_CODE;
}

std::uint32_t ShareEnum(const Request& request, Response& response) {
    return Listing<SHARE_INFO_1>(
        response,
        [&](void** buffer, std::uint32_t* read) {
            std::uint32_t total = 0, resume = 0;
            return Status(NetShareEnum(ServerArgument(request), 1,
                                       reinterpret_cast<uint8_t**>(buffer), MAX_PREFERRED, read,
                                       &total, &resume));
        },
        [](const SHARE_INFO_1& share) { return Named(share.shi1_netname); });
}

std::uint32_t LocalGroupEnum(const Request& request, Response& response) {
    const std::uint32_t status = Listing<LOCALGROUP_INFO_0>(
        response,
        [&](void** buffer, std::uint32_t* read) {
            std::uint32_t total = 0, resume = 0;
            return Status(NetLocalGroupEnum(ServerArgument(request), 0,
                                            reinterpret_cast<uint8_t**>(buffer), MAX_PREFERRED,
                                            read, &total, &resume));
        },
        [](const LOCALGROUP_INFO_0& group) { return Named(group.lgrpi0_name); });
    AddBuiltinSids(response);
    return status;
}

std::uint32_t UserGetLocalGroups(const Request& request, Response& response) {
    std::string user;
    if (const std::uint32_t status = AccountOfServer(request, user))
        return status;
    const std::uint32_t status = Listing<LOCALGROUP_USERS_INFO_0>(
        response,
        [&](void** buffer, std::uint32_t* read) {
            std::uint32_t total = 0;
            return Status(NetUserGetLocalGroups(
                ServerArgument(request), user.c_str(), 0, LG_INCLUDE_INDIRECT_FLAG,
                reinterpret_cast<uint8_t**>(buffer), MAX_PREFERRED, read, &total));
        },
        [](const LOCALGROUP_USERS_INFO_0& group) { return Named(group.lgrui0_name); });
    AddBuiltinSids(response);
    return status;
}

std::uint32_t UserGetGroups(const Request& request, Response& response) {
    std::string user;
    if (const std::uint32_t status = AccountOfServer(request, user))
        return status;
    return Listing<GROUP_USERS_INFO_0>(
        response,
        [&](void** buffer, std::uint32_t* read) {
            std::uint32_t total = 0;
            return Status(NetUserGetGroups(ServerArgument(request), user.c_str(), 0,
                                           reinterpret_cast<uint8_t**>(buffer), MAX_PREFERRED, read,
                                           &total));
        },
        [](const GROUP_USERS_INFO_0& group) { return Named(group.grui0_name); });
}

std::uint32_t LocalGroupGetMembers(const Request& request, Response& response) {
    std::string group;
    if (const std::uint32_t status = AccountOfServer(request, group))
        return status;
    // Whether the alias exists first: the member listing may be refused
    // for every alias alike.
    void* info = nullptr;
    const std::uint32_t exists = Status(NetLocalGroupGetInfo(
        ServerArgument(request), group.c_str(), 0, reinterpret_cast<uint8_t**>(&info)));
    if (info != nullptr)
        NetApiBufferFree(info);
    if (exists != 0)
        return exists;
    return Listing<LOCALGROUP_MEMBERS_INFO_0>(
        response,
        [&](void** buffer, std::uint32_t* read) {
            std::uint32_t total = 0, resume = 0;
            return Status(NetLocalGroupGetMembers(ServerArgument(request), group.c_str(), 0,
                                                  reinterpret_cast<uint8_t**>(buffer),
                                                  MAX_PREFERRED, read, &total, &resume));
        },
        [](const LOCALGROUP_MEMBERS_INFO_0& member) {
            return Entry{"", SidText(member.lgrmi0_sid), 0, 0};
        });
}

std::uint32_t GroupGetUsers(const Request& request, Response& response) {
    std::string group;
    if (const std::uint32_t status = AccountOfServer(request, group))
        return status;
    return Listing<GROUP_USERS_INFO_0>(
        response,
        [&](void** buffer, std::uint32_t* read) {
            std::uint32_t total = 0, resume = 0;
            return Status(NetGroupGetUsers(ServerArgument(request), group.c_str(), 0,
                                           reinterpret_cast<uint8_t**>(buffer), MAX_PREFERRED, read,
                                           &total, &resume));
        },
        [](const GROUP_USERS_INFO_0& user) { return Named(user.grui0_name); });
}

} // namespace ZymWindows::NetHelper
