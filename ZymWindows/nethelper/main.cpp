// The network helper: makes the Samba client library's calls for the
// library, one request at a time on descriptor 3, each answer written back
// on it (standard input stays away from the protocol: Samba may read a
// password there). The library ends this process when a call overruns its time
// limit, since the Samba calls themselves have no limit of their own.

#include "Calls.h"
#include "HelperCodes.h"
#include "Reachability.h"
#include "SambaSession.h"
#include "network/posix/RemoteProtocol.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using namespace ZymWindows::NetHelper;

namespace {

constexpr int PROTOCOL_FILENO = 3;

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
    if (size > MAX_REQUEST)
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
