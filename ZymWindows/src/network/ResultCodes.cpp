#include "network/ResultCodes.h"

#include "ZymWindows/Exceptions.h"

#include <Zym/LastError.h>

namespace ZymWindows::Network {

namespace {

bool Unreachable(unsigned long result) {
    return result == Zym::RPC_S_SERVER_UNAVAILABLE || result == Zym::NERR_InvalidComputer;
}

// Codes that name a missing account or group, by query.
bool NotFound(Query query, unsigned long result) {
    switch (query) {
    case Query::GROUPS_FOR_USER:
        return result == Zym::NERR_UserNotFound;
    case Query::LOCAL_GROUP_MEMBERS:
        return result == Zym::ERROR_NO_SUCH_ALIAS || result == Zym::NERR_GroupNotFound;
    case Query::GLOBAL_GROUP_MEMBERS:
        return result == Zym::NERR_GroupNotFound;
    default:
        return false;
    }
}

[[noreturn]] void ThrowOtherFailure(Query query) {
    switch (query) {
    case Query::SERVERS_OR_SHARES:
    case Query::LOCAL_GROUP_MEMBERS:
    case Query::GLOBAL_GROUP_MEMBERS:
        throw WindowsQueryMembersException();
    case Query::USERS:
    case Query::GLOBAL_GROUPS:
        throw WindowsQueryUsersException();
    case Query::LOCAL_GROUPS:
    case Query::GROUPS_FOR_USER:
        throw WindowsQueryGroupsException();
    }
    throw WindowsQueryMembersException();
}

} // namespace

void ThrowQueryFailure(Query query, unsigned long result) {
    Zym::SetLastError(result);
    if (result == Zym::ERROR_ACCESS_DENIED)
        throw WindowsAccessDeniedException();
    if (Unreachable(result) && query != Query::USERS && query != Query::GLOBAL_GROUPS)
        throw WindowsInvalidDomainServerException();
    if (NotFound(query, result))
        throw WindowsInvalidUserGroupException();
    ThrowOtherFailure(query);
}

} // namespace ZymWindows::Network
