// The provider for other machines and domains, on Samba's client library.
// The Samba calls run in helper programs: the library keeps one global
// context that is not safe across threads, and its calls wait up to 20 s
// on a server that accepts and never answers. Each call has a helper of its
// own and ends within the time limit (ZYM_NET_TIMEOUT_MS), counted from the
// moment it has its helper; a helper that overruns it is ended.

#include "HelperProcess.h"
#include "Providers.h"
#include "network/posix/RemoteProtocol.h"
#include "network/posix/RemoteResult.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dlfcn.h>

namespace ZymWindows::Network {

namespace {

using Clock = HelperProcess::Clock;
using NetHelper::Request;
using NetHelper::Response;

constexpr unsigned long DEFAULT_TIMEOUT_MS = 5000;
constexpr unsigned long MAX_TIMEOUT_MS = 3600UL * 1000;
constexpr std::uint32_t REASON_TIMED_OUT = NetHelper::REASON_UNREACHABLE;

// The helper installed with the library, or the one ZYM_NET_HELPER names.
std::string HelperPath() {
    if (const char* given = std::getenv("ZYM_NET_HELPER"); given != nullptr && *given != '\0')
        return given;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&HelperPath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    const std::string library = info.dli_fname;
    const std::size_t slash = library.rfind('/');
    if (slash == std::string::npos)
        return {};
    return library.substr(0, slash + 1) + ZYM_NET_HELPER_RELATIVE;
}

unsigned long TimeLimitMs() {
    if (const char* given = std::getenv("ZYM_NET_TIMEOUT_MS"); given != nullptr && *given != '\0') {
        char* end = nullptr;
        const unsigned long value = std::strtoul(given, &end, 10);
        if (end != given && *end == '\0' && value > 0)
            return std::min(value, MAX_TIMEOUT_MS);
    }
    return DEFAULT_TIMEOUT_MS;
}

// The credentials of ZYM_NET_USER and ZYM_NET_PASSWORD, else the Kerberos
// cache the environment names, else none (anonymous).
void Credentials(Request& request) {
    const char* user = std::getenv("ZYM_NET_USER");
    if (user != nullptr && *user != '\0') {
        const char* password = std::getenv("ZYM_NET_PASSWORD");
        request.user = user;
        request.password = password != nullptr ? password : "";
        return;
    }
    const char* cache = std::getenv("KRB5CCNAME");
    request.ccache = cache != nullptr ? cache : "";
}

std::string ServerName(const std::u16string& server) {
    std::size_t start = 0;
    while (start < server.size() && server[start] == u'\\')
        ++start;
    return ZymCharset::ToUtf8(std::u16string_view(server).substr(start));
}

std::u16string Wide(const std::string& text) {
    return ZymCharset::FromUtf8(text);
}

ZymSecurity::BinarySID ParseSID(const std::string& text) {
    if (text.empty())
        return {};
    try {
        return ZymSecurity::BinarySID::Parse(Wide(text));
    } catch (...) {
        return {};
    }
}

class SambaProvider : public Provider {
public:
    unsigned long ServerEnum(const std::u16string& domain, unsigned long type,
                             std::vector<std::u16string>& names) override {
        Request request = Make(NetHelper::OP_SERVER_ENUM, {});
        request.name = ZymCharset::ToUtf8(domain);
        request.a = static_cast<std::uint32_t>(type);
        Response response;
        const unsigned long result = Call(request, RemoteSubject::DomainController, response);
        // No controller, no list: the answer Windows gives without a browser.
        if (result == 0)
            names = Names(response);
        return result == Zym::ERROR_NO_SUCH_DOMAIN ? Zym::ERROR_NO_BROWSER_SERVERS_FOUND : result;
    }

    unsigned long GetDcName(const std::u16string& domain, bool primary,
                            std::u16string& controller) override {
        Request request = Make(NetHelper::OP_GET_DC_NAME, {});
        request.name = ZymCharset::ToUtf8(domain);
        request.a = primary ? 1 : 0;
        Response response;
        const unsigned long result = Call(request, RemoteSubject::DomainController, response);
        if (result == 0) {
            if (response.entries.empty())
                return Zym::ERROR_NO_SUCH_DOMAIN;
            controller = Wide(response.entries[0].name);
        }
        return result;
    }

    unsigned long WkstaGetInfo(const std::u16string& machine, std::u16string& domain) override {
        Response response;
        const unsigned long result =
            Call(Make(NetHelper::OP_WKSTA_GET_INFO, machine), RemoteSubject::Server, response);
        if (result == 0 && !response.entries.empty())
            domain = Wide(response.entries[0].name);
        return result;
    }

    unsigned long ServerGetInfo(const std::u16string& server) override {
        Response response;
        return Call(Make(NetHelper::OP_SERVER_GET_INFO, server), RemoteSubject::Server, response);
    }

    unsigned long ShareEnum(const std::u16string& server,
                            std::vector<std::u16string>& shares) override {
        Response response;
        const unsigned long result =
            Call(Make(NetHelper::OP_SHARE_ENUM, server), RemoteSubject::Server, response);
        if (result == 0)
            shares = Names(response);
        return result;
    }

    unsigned long QueryDisplayInformation(const std::u16string& server, DisplayLevel level,
                                          unsigned long index, unsigned long count,
                                          std::vector<DisplayEntry>& page) override {
        Request request = Make(NetHelper::OP_QUERY_DISPLAY, server);
        request.a = static_cast<std::uint32_t>(level);
        request.b = static_cast<std::uint32_t>(index);
        request.c = static_cast<std::uint32_t>(count);
        Response response;
        const unsigned long result = Call(request, RemoteSubject::Server, response);
        if (result == 0 || result == Zym::ERROR_MORE_DATA) {
            page.clear();
            for (const NetHelper::Entry& entry : response.entries)
                page.push_back({Wide(entry.name), entry.a, entry.b});
        }
        return result;
    }

    unsigned long LocalGroupEnum(const std::u16string& server,
                                 std::vector<Account>& groups) override {
        Response response;
        const unsigned long result =
            Call(Make(NetHelper::OP_LOCAL_GROUP_ENUM, server), RemoteSubject::Server, response);
        if (result == 0)
            groups = Accounts(response);
        return result;
    }

    unsigned long UserGetLocalGroups(const std::u16string& server, const std::u16string& account,
                                     std::vector<Account>& groups) override {
        return AccountListing(NetHelper::OP_USER_GET_LOCAL_GROUPS, server, account,
                              RemoteSubject::User, groups);
    }

    unsigned long UserGetGroups(const std::u16string& server, const std::u16string& user,
                                std::vector<Account>& groups) override {
        return AccountListing(NetHelper::OP_USER_GET_GROUPS, server, user, RemoteSubject::User,
                              groups);
    }

    unsigned long LocalGroupGetMembers(const std::u16string& server, const std::u16string& group,
                                       std::vector<ZymSecurity::BinarySID>& members) override {
        std::vector<Account> accounts;
        const unsigned long result = AccountListing(NetHelper::OP_LOCAL_GROUP_GET_MEMBERS, server,
                                                    group, RemoteSubject::Alias, accounts);
        if (result == 0) {
            members.clear();
            for (const Account& account : accounts)
                members.push_back(account.sid);
        }
        return result;
    }

    unsigned long GroupGetUsers(const std::u16string& server, const std::u16string& group,
                                std::vector<Account>& users) override {
        return AccountListing(NetHelper::OP_GROUP_GET_USERS, server, group, RemoteSubject::Group,
                              users);
    }

    unsigned long LookupAccountName(const std::u16string& server, const std::u16string& account,
                                    ResolvedAccount& resolved) override {
        Request request = Make(NetHelper::OP_LOOKUP_NAME, server);
        request.name = ZymCharset::ToUtf8(account);
        Response response;
        const unsigned long result = Call(request, RemoteSubject::Account, response);
        if (result != 0)
            return result;
        if (response.entries.size() < 2)
            return Zym::ERROR_NONE_MAPPED;
        const ZymSecurity::BinarySID sid = ParseSID(response.entries[1].name);
        if (sid == ZymSecurity::BinarySID())
            return Zym::ERROR_NONE_MAPPED;
        resolved.sid = sid;
        resolved.name = Wide(response.entries[0].name);
        resolved.domain = Wide(response.entries[0].text);
        resolved.type = static_cast<ZymSecurity::SIDType>(response.entries[0].a);
        return 0;
    }

    unsigned long LookupAccountSid(const std::u16string& server, const ZymSecurity::BinarySID& sid,
                                   ResolvedAccount& resolved) override {
        Request request = Make(NetHelper::OP_LOOKUP_SID, server);
        request.name = ZymCharset::ToUtf8(sid.ToString());
        Response response;
        const unsigned long result = Call(request, RemoteSubject::Account, response);
        if (result != 0)
            return result;
        if (response.entries.empty())
            return Zym::ERROR_NONE_MAPPED;
        resolved.sid = sid;
        resolved.name = Wide(response.entries[0].name);
        resolved.domain = Wide(response.entries[0].text);
        resolved.type = static_cast<ZymSecurity::SIDType>(response.entries[0].a);
        return 0;
    }

private:
    static Request Make(std::uint32_t operation, const std::u16string& server) {
        Request request;
        request.operation = operation;
        request.server = ServerName(server);
        Credentials(request);
        return request;
    }

    static std::vector<std::u16string> Names(const Response& response) {
        std::vector<std::u16string> names;
        for (const NetHelper::Entry& entry : response.entries)
            names.push_back(Wide(entry.name));
        return names;
    }

    static std::vector<Account> Accounts(const Response& response) {
        std::vector<Account> accounts;
        for (const NetHelper::Entry& entry : response.entries)
            accounts.push_back({Wide(entry.name), ParseSID(entry.text)});
        return accounts;
    }

    unsigned long AccountListing(std::uint32_t operation, const std::u16string& server,
                                 const std::u16string& name, RemoteSubject subject,
                                 std::vector<Account>& accounts) {
        Request request = Make(operation, server);
        request.name = ZymCharset::ToUtf8(name);
        Response response;
        const unsigned long result = Call(request, subject, response);
        if (result == 0)
            accounts = Accounts(response);
        return result;
    }

    // One call through a helper of its own. The time limit is the server's:
    // it runs from the moment the call has its helper.
    unsigned long Call(Request request, RemoteSubject subject, Response& response) {
        const unsigned long limit = TimeLimitMs();
        request.timeoutMs = static_cast<std::uint32_t>(limit);
        HelperPool::Lease helper(m_Helpers, m_Helpers.Acquire());
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
        switch (helper->Exchange(request, deadline, response)) {
        case HelperProcess::ANSWERED:
            return MapRemoteResult(subject, response.status, response.reason);
        case HelperProcess::TIMED_OUT:
            return MapRemoteResult(subject, Zym::ERROR_CAN_NOT_COMPLETE, REASON_TIMED_OUT);
        case HelperProcess::TOO_LARGE:
            // The server answered; the answer is more than this process takes.
            return Zym::ERROR_NOT_ENOUGH_MEMORY;
        case HelperProcess::FAILED:
            break;
        }
        return MapRemoteResult(subject, Zym::ERROR_CAN_NOT_COMPLETE,
                               NetHelper::REASON_NOT_CONFIGURED);
    }

    HelperPool m_Helpers{HelperPath()};
};

} // namespace

std::unique_ptr<Provider> MakeRemoteProvider() {
    return std::make_unique<SambaProvider>();
}

} // namespace ZymWindows::Network
