#include "Calls.h"

#include "HelperCodes.h"
#include "SambaSession.h"

#include <cstdlib>

#include <netapi.h>

namespace ZymWindows::NetHelper {

namespace {

constexpr BuiltinAlias BUILTIN_ALIASES[] = {
    {"Administrators", 544},
    {"Users", 545},
    {"Guests", 546},
    {"Power Users", 547},
    {"Account Operators", 548},
    {"Server Operators", 549},
    {"Print Operators", 550},
    {"Backup Operators", 551},
    {"Replicator", 552},
    {"Pre-Windows 2000 Compatible Access", 554},
    {"Remote Desktop Users", 555},
    {"Network Configuration Operators", 556},
    {"Incoming Forest Trust Builders", 557},
    {"Performance Monitor Users", 558},
    {"Performance Log Users", 559},
    {"Windows Authorization Access Group", 560},
    {"Terminal Server License Servers", 561},
    {"Distributed COM Users", 562},
    {"IIS_IUSRS", 568},
    {"Cryptographic Operators", 569},
    {"Event Log Readers", 573},
    {"Certificate Service DCOM Access", 574},
};

} // namespace

const BuiltinAlias* BuiltinAliasNamed(const std::string& name) {
    for (const BuiltinAlias& alias : BUILTIN_ALIASES)
        if (SameText(name, alias.name))
            return &alias;
    return nullptr;
}

const BuiltinAlias* BuiltinAliasWithRid(const std::string& rid) {
    for (const BuiltinAlias& alias : BUILTIN_ALIASES)
        if (rid == std::to_string(alias.rid))
            return &alias;
    return nullptr;
}

std::string BuiltinSid(const BuiltinAlias& alias) {
    return std::string(BUILTIN_DOMAIN_SID) + "-" + std::to_string(alias.rid);
}

namespace {

// The relative id that ends a SID's text form.
std::uint32_t LastRid(const std::string& sid) {
    const std::size_t dash = sid.rfind('-');
    return dash == std::string::npos
               ? 0
               : static_cast<std::uint32_t>(std::strtoul(sid.c_str() + dash + 1, nullptr, 10));
}

} // namespace

// The Samba library has no LSA lookups. A name resolves as a user (whose
// record carries its SID), a global group (likewise), a built-in alias
// (fixed SIDs) or the domain itself; the server's own aliases have no SID
// the library can tell, and stay unresolved.
std::uint32_t LookupName(const Request& request, Response& response) {
    const char* server = ServerArgument(request);
    std::string domain, domainSid;
    std::uint32_t status = ServerDomain(server, domain, domainSid);
    if (status != 0)
        return status;
    const std::string name = BareName(request.name);
    const std::string given = request.name.size() > name.size()
                                  ? request.name.substr(0, request.name.size() - name.size() - 1)
                                  : "";
    const bool builtinDomain = SameText(given, "BUILTIN");
    if (!given.empty() && !builtinDomain && !NamesDomain(given, domain))
        return ERROR_NONE_MAPPED_CODE;
    // The machine's own name, as the caller names the machine, stands for
    // its account domain.
    const std::size_t start = request.server.find_first_not_of('\\');
    const std::string machine = start == std::string::npos ? "" : request.server.substr(start);
    if (!builtinDomain) {
        if (given.empty() && (SameText(name, domain.c_str()) || SameText(name, machine.c_str()))) {
            response.entries.push_back({domain, domain, SID_TYPE_DOMAIN, 0});
            response.entries.push_back({domainSid, "", 0, 0});
            return 0;
        }
        void* buffer = nullptr;
        status =
            Status(NetUserGetInfo(server, name.c_str(), 23, reinterpret_cast<uint8_t**>(&buffer)));
        if (status == 0 && buffer != nullptr) {
            const auto* user = static_cast<const USER_INFO_23*>(buffer);
            response.entries.push_back({user->usri23_name, domain, SID_TYPE_USER, 0});
            response.entries.push_back({SidText(user->usri23_user_sid), "", 0, 0});
        }
        if (buffer != nullptr)
            NetApiBufferFree(buffer);
        // 1317: the name is an account, but not a user.
        if (status != ERROR_NONE_MAPPED_CODE && status != ERROR_NO_SUCH_USER_CODE)
            return status;
        buffer = nullptr;
        status =
            Status(NetGroupGetInfo(server, name.c_str(), 3, reinterpret_cast<uint8_t**>(&buffer)));
        if (status == 0 && buffer != nullptr) {
            // Samba 4.17 frees the group's name (levels 1 and 3) before
            // handing it out; the SID is sound, and the groups' listing
            // spells the name as the server does.
            const auto* group = static_cast<const GROUP_INFO_3*>(buffer);
            const std::string sid = SidText(group->grpi3_group_sid);
            std::string spelled = name;
            FindByRid(server, DISPLAY_GROUPS_LEVEL, LastRid(sid), spelled);
            response.entries.push_back({spelled, domain, SID_TYPE_GROUP, 0});
            response.entries.push_back({sid, "", 0, 0});
        }
        if (buffer != nullptr)
            NetApiBufferFree(buffer);
        // A domain alias is not a group: its SID cannot be had.
        if (status != ERROR_NONE_MAPPED_CODE && status != ERROR_INVALID_DATATYPE_CODE)
            return status;
        if (status == ERROR_INVALID_DATATYPE_CODE)
            return ERROR_NONE_MAPPED_CODE;
    }
    const BuiltinAlias* alias = BuiltinAliasNamed(name);
    if (alias == nullptr) {
        // Last, the domain by its DNS name, which costs a DNS query.
        if (given.empty() && NamesDomain(name, domain)) {
            response.entries.push_back({domain, domain, SID_TYPE_DOMAIN, 0});
            response.entries.push_back({domainSid, "", 0, 0});
            return 0;
        }
        return ERROR_NONE_MAPPED_CODE;
    }
    response.entries.push_back({alias->name, "BUILTIN", SID_TYPE_ALIAS, 0});
    response.entries.push_back({BuiltinSid(*alias), "", 0, 0});
    return 0;
}

// A SID of the server's domain resolves through the display listings,
// which give every account's relative id; a built-in alias from the fixed
// table; anything else the library cannot resolve.
std::uint32_t LookupSid(const Request& request, Response& response) {
    const char* server = ServerArgument(request);
    const std::string& sid = request.name;
    const std::string builtinPrefix = std::string(BUILTIN_DOMAIN_SID) + "-";
    if (sid.compare(0, builtinPrefix.size(), builtinPrefix) == 0) {
        const BuiltinAlias* alias = BuiltinAliasWithRid(sid.substr(builtinPrefix.size()));
        if (alias == nullptr)
            return ERROR_NONE_MAPPED_CODE;
        response.entries.push_back({alias->name, "BUILTIN", SID_TYPE_ALIAS, 0});
        return 0;
    }
    std::string domain, domainSid;
    std::uint32_t status = ServerDomain(server, domain, domainSid);
    if (status != 0)
        return status;
    if (sid == domainSid) {
        response.entries.push_back({domain, domain, SID_TYPE_DOMAIN, 0});
        return 0;
    }
    const std::string prefix = domainSid + "-";
    if (domainSid.empty() || sid.compare(0, prefix.size(), prefix) != 0 ||
        sid.find('-', prefix.size()) != std::string::npos)
        return ERROR_NONE_MAPPED_CODE;
    const std::uint32_t rid = LastRid(sid);
    for (const std::uint32_t level :
         {DISPLAY_USERS_LEVEL, DISPLAY_MACHINES_LEVEL, DISPLAY_GROUPS_LEVEL}) {
        std::string name;
        status = FindByRid(server, level, rid, name);
        if (status == 0) {
            response.entries.push_back(
                {name, domain, level == DISPLAY_GROUPS_LEVEL ? SID_TYPE_GROUP : SID_TYPE_USER, 0});
            return 0;
        }
        if (status != ERROR_NONE_MAPPED_CODE)
            return status;
    }
    return ERROR_NONE_MAPPED_CODE;
}

} // namespace ZymWindows::NetHelper
