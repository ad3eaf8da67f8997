// The provider for other machines and domains, on Samba's client library.
// The Samba calls run in a helper program: the library keeps one global
// context that is not safe across threads, and its calls wait up to 20 s
// on a server that accepts and never answers. Calls are serialised; each
// ends within the time limit (ZYM_NET_TIMEOUT_MS), the helper being ended
// and started again for the next call when one overruns it.

#include "network/NetworkProvider.h"
#include "network/RemoteProtocol.h"
#include "network/RemoteResult.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ZymWindows::Network {

namespace {

using Clock = std::chrono::steady_clock;
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

// The helper process and its end of the socket pair.
class Helper {
public:
    ~Helper() { Stop(false); }

    enum Outcome { ANSWERED, TIMED_OUT, FAILED };

    Outcome Exchange(const Request& request, Clock::time_point deadline, Response& response) {
        const std::string message = NetHelper::Encode(request);
        // A helper that ended since the last call is started again.
        if (m_Socket >= 0 && !Alive())
            Stop(true);
        if (m_Socket < 0 && !Start())
            return FAILED;
        std::string header(4, '\0');
        std::string body;
        if (!Send(message, deadline) || !Receive(header, deadline)) {
            const bool late = Clock::now() >= deadline;
            Stop(true);
            return late ? TIMED_OUT : FAILED;
        }
        const std::uint32_t size =
            static_cast<unsigned char>(header[0]) | (static_cast<unsigned char>(header[1]) << 8) |
            (static_cast<unsigned char>(header[2]) << 16) |
            (static_cast<std::uint32_t>(static_cast<unsigned char>(header[3])) << 24);
        if (size <= NetHelper::MAX_MESSAGE)
            body.resize(size);
        if (size > NetHelper::MAX_MESSAGE || !Receive(body, deadline) ||
            !NetHelper::Decode(body, response)) {
            const bool late = Clock::now() >= deadline;
            Stop(true);
            return late ? TIMED_OUT : FAILED;
        }
        return ANSWERED;
    }

private:
    bool Start() {
        const std::string path = HelperPath();
        if (path.empty())
            return false;
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        // The helper's end goes to its descriptor 3: duplicating a
        // descriptor onto itself would leave it closed on exec.
        if (ends[1] == 3) {
            const int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, 4);
            close(ends[1]);
            ends[1] = moved;
            if (moved < 0) {
                close(ends[0]);
                return false;
            }
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
        pid_t child = -1;
        const int spawned = posix_spawn(&child, path.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        if (spawned != 0) {
            close(ends[0]);
            return false;
        }
        m_Process = child;
        m_Socket = ends[0];
        return true;
    }

    // Whether the helper is still there: between calls it only reads, so
    // its end of the socket becomes readable only by closing.
    bool Alive() {
        pollfd check{m_Socket, POLLIN, 0};
        return poll(&check, 1, 0) == 0;
    }

    // Ends the helper: closing its socket lets it leave by itself; one
    // that is stuck in a call is killed.
    void Stop(bool kill) {
        if (m_Socket >= 0)
            close(m_Socket);
        m_Socket = -1;
        if (m_Process <= 0)
            return;
        if (kill)
            ::kill(m_Process, SIGKILL);
        int status = 0;
        pid_t ended;
        do
            ended = waitpid(m_Process, &status, 0);
        while (ended < 0 && errno == EINTR);
        m_Process = -1;
    }

    // Waits until the socket is ready for `events` or the deadline passes.
    bool Wait(short events, Clock::time_point deadline) {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd wait{m_Socket, events, 0};
            const int ready = poll(&wait, 1, static_cast<int>(left.count()) + 1);
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }

    bool Send(const std::string& bytes, Clock::time_point deadline) {
        return Transfer(POLLOUT, bytes.size(), deadline, [&](std::size_t done) {
            return send(m_Socket, bytes.data() + done, bytes.size() - done,
                        MSG_NOSIGNAL | MSG_DONTWAIT);
        });
    }

    bool Receive(std::string& bytes, Clock::time_point deadline) {
        return Transfer(POLLIN, bytes.size(), deadline, [&](std::size_t done) {
            return recv(m_Socket, bytes.data() + done, bytes.size() - done, MSG_DONTWAIT);
        });
    }

    // Moves `size` bytes by non-blocking steps, each once the socket is
    // ready for `events`; false when the peer is gone or `deadline` passed.
    template <class Step>
    bool Transfer(short events, std::size_t size, Clock::time_point deadline, Step step) {
        std::size_t done = 0;
        while (done < size) {
            if (!Wait(events, deadline))
                return false;
            const ssize_t moved = step(done);
            if (moved < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (moved <= 0)
                return false;
            done += static_cast<std::size_t>(moved);
        }
        return true;
    }

    pid_t m_Process = -1;
    int m_Socket = -1;
};

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

    // One call through the helper, waiting for an earlier one no longer
    // than this call's own time limit.
    unsigned long Call(Request request, RemoteSubject subject, Response& response) {
        const unsigned long limit = TimeLimitMs();
        request.timeoutMs = static_cast<std::uint32_t>(limit);
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
        std::unique_lock<std::timed_mutex> serial(m_Serial, std::defer_lock);
        if (!serial.try_lock_until(deadline))
            return MapRemoteResult(subject, Zym::ERROR_CAN_NOT_COMPLETE, REASON_TIMED_OUT);
        switch (m_Helper.Exchange(request, deadline, response)) {
        case Helper::ANSWERED:
            return MapRemoteResult(subject, response.status, response.reason);
        case Helper::TIMED_OUT:
            return MapRemoteResult(subject, Zym::ERROR_CAN_NOT_COMPLETE, REASON_TIMED_OUT);
        case Helper::FAILED:
            break;
        }
        return MapRemoteResult(subject, Zym::ERROR_CAN_NOT_COMPLETE,
                               NetHelper::REASON_NOT_CONFIGURED);
    }

    std::timed_mutex m_Serial;
    Helper m_Helper;
};

} // namespace

std::unique_ptr<Provider> MakeRemoteProvider() {
    return std::make_unique<SambaProvider>();
}

} // namespace ZymWindows::Network
