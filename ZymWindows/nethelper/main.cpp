// The network helper: makes the Samba client library's calls for the
// library, one request at a time on descriptor 3, each answer written back
// on it (standard input stays away from the protocol: Samba may read a
// password there). The library ends this process when a call overruns its time
// limit, since the Samba calls themselves have no limit of their own.

#include "network/RemoteProtocol.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netapi.h>

using namespace ZymWindows::NetHelper;

namespace {

// Win32 and NERR codes the helper itself returns.
constexpr std::uint32_t ERROR_INVALID_PARAMETER_CODE = 87;
constexpr std::uint32_t ERROR_MORE_DATA_CODE = 234;
constexpr std::uint32_t ERROR_CAN_NOT_COMPLETE_CODE = 1003;
constexpr std::uint32_t ERROR_NO_SUCH_USER_CODE = 1317;
constexpr std::uint32_t ERROR_NONE_MAPPED_CODE = 1332;
constexpr std::uint32_t ERROR_NO_SUCH_DOMAIN_CODE = 1355;
constexpr std::uint32_t ERROR_INVALID_DATATYPE_CODE = 1804;
constexpr std::uint32_t ERROR_NO_BROWSER_SERVERS_FOUND_CODE = 6118;
constexpr int PROTOCOL_FILENO = 3;
constexpr std::uint32_t MAX_PREFERRED = 0xFFFFFFFFU;
constexpr std::uint32_t DS_RETURN_FLAT_NAME_FLAG = 0x80000000U;
constexpr std::uint32_t SV_TYPE_DOMAIN_ENUM_FLAG = 0x80000000U;
constexpr std::uint32_t SV_TYPE_ALL_FLAG = 0xFFFFFFFFU;
constexpr std::uint32_t SV_TYPE_WORKSTATION_FLAG = 0x00000001U;
constexpr std::uint32_t SV_TYPE_SERVER_FLAG = 0x00000002U;
constexpr std::uint32_t SV_TYPE_DOMAIN_CTRL_FLAG = 0x00000008U;
constexpr std::uint32_t SV_TYPE_DOMAIN_BAKCTRL_FLAG = 0x00000010U;
constexpr std::uint32_t DS_PDC_REQUIRED_FLAG = 0x00000080U;
constexpr std::uint32_t LG_INCLUDE_INDIRECT_FLAG = 0x00000001U;
constexpr std::uint32_t SID_TYPE_USER = 1;
constexpr std::uint32_t SID_TYPE_GROUP = 2;
constexpr std::uint32_t SID_TYPE_DOMAIN = 3;
constexpr std::uint32_t SID_TYPE_ALIAS = 4;
constexpr std::uint32_t DISPLAY_USERS_LEVEL = 1;
constexpr std::uint32_t DISPLAY_MACHINES_LEVEL = 2;
constexpr std::uint32_t DISPLAY_GROUPS_LEVEL = 3;

// The Samba header declares NetWkstaGetInfo without its level-100 record.
struct WkstaInfo100 {
    std::uint32_t platformId;
    const char* computerName;
    const char* langroup;
    std::uint32_t versionMajor;
    std::uint32_t versionMinor;
};

// The built-in aliases every Windows domain has, S-1-5-32-<rid>: their SIDs
// are fixed, so names resolve without asking.
struct BuiltinAlias {
    const char* name;
    std::uint32_t rid;
};
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
constexpr const char* BUILTIN_DOMAIN_SID = "S-1-5-32";

bool SameText(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

// Everything the Samba library prints goes to a memory file, read back
// after each call: its connection errors are told only there.
class OutputCapture {
public:
    OutputCapture() {
        m_File = memfd_create("netapi-output", MFD_CLOEXEC);
        if (m_File >= 0)
            dup2(m_File, STDOUT_FILENO);
    }
    std::string Take() {
        std::fflush(stdout);
        std::string text;
        if (m_File < 0)
            return text;
        const off_t size = lseek(m_File, 0, SEEK_END);
        if (size > 0) {
            text.resize(static_cast<std::size_t>(size));
            const ssize_t got = pread(m_File, text.data(), text.size(), 0);
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
        if (ftruncate(m_File, 0) == 0)
            lseek(STDOUT_FILENO, 0, SEEK_SET);
        return text;
    }

private:
    int m_File = -1;
};

// A setting of this machine's Samba configuration. The Samba library
// exports no accessor of its own; the configuration library it loads does.
std::string Configured(const char* getter) {
    using Getter = const char* (*)();
    const auto get = reinterpret_cast<Getter>(dlsym(RTLD_DEFAULT, getter));
    const char* value = get != nullptr ? get() : nullptr;
    return value != nullptr ? value : "";
}

// The one Samba context, made again when the credentials change: the
// library keeps its connections by server name, logged on as they were.
class Context {
public:
    // 0 or libnetapi_init's failure.
    std::uint32_t Prepare(const Request& request) {
        if (m_Context != nullptr && request.user == m_User && request.password == m_Password &&
            request.ccache == m_Ccache)
            return 0;
        if (m_Context != nullptr)
            libnetapi_free(m_Context);
        m_Context = nullptr;
        libnetapi_ctx* context = nullptr;
        const auto status = static_cast<std::uint32_t>(libnetapi_init(&context));
        if (status != 0 || context == nullptr)
            return status != 0 ? status : ERROR_CAN_NOT_COMPLETE_CODE;
        if (!request.user.empty()) {
            std::string user = request.user;
            const std::size_t slash = user.find('\\');
            if (slash != std::string::npos) {
                // This machine's own domain is the configuration's already;
                // naming it by its flat name would send Kerberos looking for
                // the user in a realm of that name.
                const std::string domain = user.substr(0, slash);
                if (!SameText(domain, Configured("lp_workgroup").c_str()) &&
                    !SameText(domain, Configured("lp_realm").c_str()))
                    libnetapi_set_workgroup(context, domain.c_str());
                user.erase(0, slash + 1);
            }
            // Both, always: a missing one is asked for on the terminal.
            libnetapi_set_username(context, user.c_str());
            libnetapi_set_password(context, request.password.c_str());
        } else if (!request.ccache.empty()) {
            setenv("KRB5CCNAME", request.ccache.c_str(), 1);
            libnetapi_set_use_ccache(context);
            // An empty password, or Samba asks for one on the terminal.
            libnetapi_set_password(context, "");
        } else {
            libnetapi_set_username(context, "");
            libnetapi_set_password(context, "");
        }
        m_Context = context;
        m_User = request.user;
        m_Password = request.password;
        m_Ccache = request.ccache;
        return 0;
    }

private:
    libnetapi_ctx* m_Context = nullptr;
    std::string m_User;
    std::string m_Password;
    std::string m_Ccache;
};

// The outcome of one connection attempt to `address` on `port`: 0, or the
// errno of the failure (ETIMEDOUT when `deadline` passed first).
int TryConnect(const addrinfo& address, std::uint16_t port,
               std::chrono::steady_clock::time_point deadline) {
    sockaddr_storage target{};
    std::memcpy(&target, address.ai_addr, address.ai_addrlen);
    if (target.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(target).sin_port = htons(port);
    else if (target.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(target).sin6_port = htons(port);
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
    if (fd < 0)
        return errno;
    int error = connect(fd, reinterpret_cast<const sockaddr*>(&target), address.ai_addrlen) == 0
                    ? 0
                    : errno;
    while (error == EINPROGRESS || error == EINTR) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = ETIMEDOUT;
            break;
        }
        pollfd wait{fd, POLLOUT, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0) {
            error = errno;
            continue;
        }
        if (ready == 0)
            continue;
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
    }
    close(fd);
    return error;
}

// Whether the server takes a connection on the SMB port (or, where that
// is closed, the NetBIOS session port) within `timeoutMs`: a closed port
// or a silent address is told at once, instead of after the Samba
// library's own waits.
Reason Reach(const std::string& server, std::uint32_t timeoutMs, bool& resolved) {
    resolved = false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        // A NetBIOS name may still resolve through Samba's own means; a
        // name with a dot is a DNS name, and DNS has spoken.
        return server.find('.') != std::string::npos ? REASON_NAME_UNKNOWN : REASON_NONE;
    }
    resolved = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Reason reason = REASON_UNREACHABLE;
    for (addrinfo* address = found; address != nullptr && reason != REASON_NONE;
         address = address->ai_next) {
        for (const std::uint16_t port : {445, 139}) {
            const int error = TryConnect(*address, port, deadline);
            if (error == 0) {
                reason = REASON_NONE;
                break;
            }
            if (error != ECONNREFUSED)
                break;
            reason = REASON_REFUSED;
        }
    }
    freeaddrinfo(found);
    return reason;
}

// The reason behind a failed connection, from what the library printed.
Reason ConnectionReason(const std::string& printed) {
    // Every refusal of the logon itself is a logon failure to the caller.
    for (const char* refusal : {"NT_STATUS_LOGON_FAILURE", "NT_STATUS_WRONG_PASSWORD",
                                "NT_STATUS_NO_SUCH_USER", "NT_STATUS_ACCOUNT_DISABLED",
                                "NT_STATUS_ACCOUNT_LOCKED_OUT", "NT_STATUS_PASSWORD_EXPIRED"})
        if (printed.find(refusal) != std::string::npos)
            return REASON_LOGON_FAILURE;
    if (printed.find("NT_STATUS_ACCESS_DENIED") != std::string::npos)
        return REASON_ACCESS_DENIED;
    if (printed.find("NT_STATUS_CONNECTION_REFUSED") != std::string::npos)
        return REASON_REFUSED;
    return REASON_NONE;
}

std::string SidText(const domsid* sid) {
    std::string text;
    char* converted = nullptr;
    if (sid != nullptr && ConvertSidToStringSid(sid, &converted) && converted != nullptr) {
        text = converted;
        std::free(converted);
    }
    return text;
}

const char* ServerArgument(const Request& request) {
    return request.server.empty() ? nullptr : request.server.c_str();
}

// An account name without the "DOMAIN\" a caller may put in front.
std::string BareName(const std::string& account) {
    const std::size_t slash = account.find('\\');
    return slash == std::string::npos ? account : account.substr(slash + 1);
}

template <class Record, class Each> void ForEach(void* buffer, std::uint32_t count, Each each) {
    const Record* records = static_cast<const Record*>(buffer);
    for (std::uint32_t i = 0; i < count; ++i)
        each(records[i]);
}

std::uint32_t Status(NET_API_STATUS status) {
    return static_cast<std::uint32_t>(status);
}

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
    // Past the end Samba answers 0 with nothing, as Windows does.
    return status;
}

// The domain name to look a controller up by: this machine's own when none
// is given (DsGetDcName without one crashes in this Samba version), and the
// DNS name of this machine's domain for its flat name, which Samba finds
// through DNS only once a DNS-named lookup has filled its cache.
std::string DomainOrOwn(const std::string& domain) {
    const std::string workgroup = Configured("lp_workgroup");
    const std::string realm = Configured("lp_realm");
    if (domain.empty() || SameText(domain, workgroup.c_str()))
        return realm.empty() ? (domain.empty() ? workgroup : domain) : realm;
    return domain;
}

// NetServerEnum. The Samba library has no browse list and no trust
// enumeration, so the answers come from the domain's controller, found
// through DNS: the domains are this machine's own (or the one asked
// about), as the controller names it; workstations and servers are the
// computer accounts the controller lists; controllers are the one found
// (the accounts' flags do not tell controllers apart); other types (print,
// time, SQL servers...) are nothing an account tells, and list nothing.
std::uint32_t ServerEnum(const Request& request, Response& response) {
    const std::string named = DomainOrOwn(request.name);
    if (named.empty())
        return ERROR_NO_BROWSER_SERVERS_FOUND_CODE;
    DOMAIN_CONTROLLER_INFO* controller = nullptr;
    std::uint32_t status = Status(DsGetDcName(nullptr, named.c_str(), nullptr, nullptr,
                                              DS_RETURN_FLAT_NAME_FLAG, &controller));
    std::string domain, name, address;
    if (status == 0 && controller != nullptr) {
        domain = controller->domain_name != nullptr ? controller->domain_name : "";
        name =
            controller->domain_controller_name != nullptr ? controller->domain_controller_name : "";
        address = controller->domain_controller_address != nullptr
                      ? controller->domain_controller_address
                      : "";
    }
    if (controller != nullptr)
        NetApiBufferFree(controller);
    if (status != 0)
        return ERROR_NO_BROWSER_SERVERS_FOUND_CODE;
    const std::uint32_t type = request.a;
    if ((type & SV_TYPE_DOMAIN_ENUM_FLAG) != 0 && type != SV_TYPE_ALL_FLAG) {
        response.entries.push_back({domain, "", 0, 0});
        return 0;
    }
    const bool everyMachine =
        type == SV_TYPE_ALL_FLAG || (type & (SV_TYPE_WORKSTATION_FLAG | SV_TYPE_SERVER_FLAG)) != 0;
    if (!everyMachine) {
        while (!name.empty() && name.front() == '\\')
            name.erase(0, 1);
        if ((type & (SV_TYPE_DOMAIN_CTRL_FLAG | SV_TYPE_DOMAIN_BAKCTRL_FLAG)) != 0)
            response.entries.push_back({name, "", 0, 0});
        return 0;
    }
    while (!address.empty() && address.front() == '\\')
        address.erase(0, 1);
    Response page;
    std::uint32_t index = 0;
    do {
        page.entries.clear();
        status = DisplayPage(address.c_str(), DISPLAY_MACHINES_LEVEL, index, 100, page);
        for (Entry& entry : page.entries) {
            if (!entry.name.empty() && entry.name.back() == '$')
                entry.name.pop_back();
            index = entry.b;
            response.entries.push_back({entry.name, "", 0, 0});
        }
    } while (status == ERROR_MORE_DATA_CODE && !page.entries.empty());
    return status;
}

std::uint32_t GetDcName(const Request& request, Response& response) {
    const std::string named = DomainOrOwn(request.name);
    if (named.empty())
        return ERROR_NO_SUCH_DOMAIN_CODE;
    const char* domain = named.c_str();
    DOMAIN_CONTROLLER_INFO* controller = nullptr;
    const std::uint32_t status = Status(DsGetDcName(
        nullptr, domain, nullptr, nullptr, request.a != 0 ? DS_PDC_REQUIRED_FLAG : 0, &controller));
    if (status == 0 && controller != nullptr && controller->domain_controller_name != nullptr)
        response.entries.push_back({controller->domain_controller_name, "", 0, 0});
    if (controller != nullptr)
        NetApiBufferFree(controller);
    return status;
}

// This machine's workgroup is its configuration's.
std::uint32_t WkstaGetInfo(const Request& request, Response& response) {
    if (request.server.empty()) {
        const std::string workgroup = Configured("lp_workgroup");
        if (workgroup.empty())
            return ERROR_CAN_NOT_COMPLETE_CODE;
        response.entries.push_back({workgroup, "", 0, 0});
        return 0;
    }
    void* buffer = nullptr;
    const std::uint32_t status =
        Status(NetWkstaGetInfo(ServerArgument(request), 100, reinterpret_cast<uint8_t**>(&buffer)));
    if (status == 0 && buffer != nullptr) {
        const auto* info = static_cast<const WkstaInfo100*>(buffer);
        response.entries.push_back({info->langroup != nullptr ? info->langroup : "", "", 0, 0});
    }
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    return status;
}

std::uint32_t ServerGetInfo(const Request& request) {
    void* buffer = nullptr;
    const std::uint32_t status = Status(
        NetServerGetInfo(ServerArgument(request), 100, reinterpret_cast<uint8_t**>(&buffer)));
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    return status;
}

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

// The built-in aliases' SIDs are known without asking.
void AddBuiltinSids(Response& response) {
    for (Entry& entry : response.entries)
        for (const BuiltinAlias& alias : BUILTIN_ALIASES)
            if (SameText(entry.name, alias.name))
                entry.text = std::string(BUILTIN_DOMAIN_SID) + "-" + std::to_string(alias.rid);
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
    const std::string user = BareName(request.name);
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
    const std::string user = BareName(request.name);
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
    const std::string group = BareName(request.name);
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
    const std::string group = BareName(request.name);
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

// The name of the account with relative id `rid` in a display listing of
// the server's domain; 1332 when the listing has none.
std::uint32_t FindByRid(const char* server, std::uint32_t level, std::uint32_t rid,
                        std::string& name) {
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

// The relative id that ends a SID's text form.
std::uint32_t LastRid(const std::string& sid) {
    const std::size_t dash = sid.rfind('-');
    return dash == std::string::npos
               ? 0
               : static_cast<std::uint32_t>(std::strtoul(sid.c_str() + dash + 1, nullptr, 10));
}

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
    if (!given.empty() && !builtinDomain && !SameText(given, domain.c_str()))
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
    for (const BuiltinAlias& alias : BUILTIN_ALIASES)
        if (SameText(name, alias.name)) {
            response.entries.push_back({alias.name, "BUILTIN", SID_TYPE_ALIAS, 0});
            response.entries.push_back(
                {std::string(BUILTIN_DOMAIN_SID) + "-" + std::to_string(alias.rid), "", 0, 0});
            return 0;
        }
    return ERROR_NONE_MAPPED_CODE;
}

// A SID of the server's domain resolves through the display listings,
// which give every account's relative id; a built-in alias from the fixed
// table; anything else the library cannot resolve.
std::uint32_t LookupSid(const Request& request, Response& response) {
    const char* server = ServerArgument(request);
    const std::string& sid = request.name;
    const std::string builtinPrefix = std::string(BUILTIN_DOMAIN_SID) + "-";
    if (sid.compare(0, builtinPrefix.size(), builtinPrefix) == 0) {
        const std::string rid = sid.substr(builtinPrefix.size());
        for (const BuiltinAlias& alias : BUILTIN_ALIASES)
            if (rid == std::to_string(alias.rid)) {
                response.entries.push_back({alias.name, "BUILTIN", SID_TYPE_ALIAS, 0});
                return 0;
            }
        return ERROR_NONE_MAPPED_CODE;
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

std::uint32_t Dispatch(const Request& request, Response& response) {
    switch (request.operation) {
    case OP_SERVER_ENUM:
        return ServerEnum(request, response);
    case OP_GET_DC_NAME:
        return GetDcName(request, response);
    case OP_WKSTA_GET_INFO:
        return WkstaGetInfo(request, response);
    case OP_SERVER_GET_INFO:
        return ServerGetInfo(request);
    case OP_SHARE_ENUM:
        return ShareEnum(request, response);
    case OP_QUERY_DISPLAY:
        return DisplayPage(ServerArgument(request), request.a, request.b, request.c, response);
    case OP_LOCAL_GROUP_ENUM:
        return LocalGroupEnum(request, response);
    case OP_USER_GET_LOCAL_GROUPS:
        return UserGetLocalGroups(request, response);
    case OP_USER_GET_GROUPS:
        return UserGetGroups(request, response);
    case OP_LOCAL_GROUP_GET_MEMBERS:
        return LocalGroupGetMembers(request, response);
    case OP_GROUP_GET_USERS:
        return GroupGetUsers(request, response);
    case OP_LOOKUP_NAME:
        return LookupName(request, response);
    case OP_LOOKUP_SID:
        return LookupSid(request, response);
    default:
        return ERROR_INVALID_PARAMETER_CODE;
    }
}

bool ReadAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool ReadRequest(Request& request) {
    unsigned char header[4];
    if (!ReadAll(PROTOCOL_FILENO, reinterpret_cast<char*>(header), sizeof header))
        return false;
    const std::uint32_t size = header[0] | (header[1] << 8) | (header[2] << 16) |
                               (static_cast<std::uint32_t>(header[3]) << 24);
    if (size > MAX_MESSAGE)
        return false;
    std::string body(size, '\0');
    return ReadAll(PROTOCOL_FILENO, body.data(), size) && Decode(body, request);
}

} // namespace

int main() {
    std::signal(SIGPIPE, SIG_IGN);
    OutputCapture output;
    Context context;
    Request request;
    while (ReadRequest(request)) {
        Response response;
        const std::uint32_t started = context.Prepare(request);
        if (started != 0) {
            response.status = started;
            response.reason = REASON_NOT_CONFIGURED;
        } else {
            bool resolved = false;
            // Answer before the library's own limit ends this process.
            const std::uint32_t probeMs = request.timeoutMs - request.timeoutMs / 4;
            const Reason reach =
                request.server.empty() ? REASON_NONE : Reach(request.server, probeMs, resolved);
            if (reach != REASON_NONE) {
                response.status = ERROR_CAN_NOT_COMPLETE_CODE;
                response.reason = reach;
            } else {
                response.status = Dispatch(request, response);
                const std::string printed = output.Take();
                if (response.status == ERROR_CAN_NOT_COMPLETE_CODE) {
                    response.reason = ConnectionReason(printed);
                    if (response.reason == REASON_NONE && !request.server.empty() && !resolved)
                        response.reason = REASON_NAME_UNKNOWN;
                }
            }
            if (response.status != 0 && response.status != ERROR_MORE_DATA_CODE)
                response.entries.clear();
        }
        output.Take();
        if (!WriteAll(PROTOCOL_FILENO, Encode(response)))
            return 1;
    }
    return 0;
}
