#pragma once

#include "network/posix/RemoteProtocol.h"

#include <cstdint>
#include <string>

namespace ZymWindows::NetHelper {

// The Samba calls behind each request; each returns its Win32 or NERR code.
std::uint32_t ServerEnum(const Request& request, Response& response);
std::uint32_t GetDcName(const Request& request, Response& response);
std::uint32_t WkstaGetInfo(const Request& request, Response& response);
std::uint32_t ServerGetInfo(const Request& request);
std::uint32_t ShareEnum(const Request& request, Response& response);
std::uint32_t LocalGroupEnum(const Request& request, Response& response);
std::uint32_t UserGetLocalGroups(const Request& request, Response& response);
std::uint32_t UserGetGroups(const Request& request, Response& response);
std::uint32_t LocalGroupGetMembers(const Request& request, Response& response);
std::uint32_t GroupGetUsers(const Request& request, Response& response);
std::uint32_t LookupName(const Request& request, Response& response);
std::uint32_t LookupSid(const Request& request, Response& response);

// One page of a display listing; 234 when entries follow it.
std::uint32_t DisplayPage(const char* server, std::uint32_t level, std::uint32_t index,
                          std::uint32_t count, Response& response);
// The name of the account with relative id `rid` in a display listing of
// the server's domain; 1332 when the listing has none.
std::uint32_t FindByRid(const char* server, std::uint32_t level, std::uint32_t rid,
                        std::string& name);
// The domain's name and SID as the server knows them.
std::uint32_t ServerDomain(const char* server, std::string& name, std::string& sid);

// Whether `name` names the domain whose flat name is `domain`: that flat
// name, or the domain's DNS name, in any case.
bool NamesDomain(const std::string& name, const std::string& domain);
// The account a request is about, without the "DOMAIN\" in front of it,
// which must name the server's domain (or the server itself); 1332 for an
// account of another domain.
std::uint32_t AccountOfServer(const Request& request, std::string& bare);

// The built-in aliases every Windows domain has, S-1-5-32-<rid>: their SIDs
// are fixed, so names resolve without asking.
struct BuiltinAlias {
    const char* name;
    std::uint32_t rid;
};
constexpr const char* BUILTIN_DOMAIN_SID = "S-1-5-32";
// The built-in alias of that name (any case) or relative id (its decimal
// text); null when there is none.
const BuiltinAlias* BuiltinAliasNamed(const std::string& name);
const BuiltinAlias* BuiltinAliasWithRid(const std::string& rid);
// "S-1-5-32-<rid>".
std::string BuiltinSid(const BuiltinAlias& alias);

} // namespace ZymWindows::NetHelper
