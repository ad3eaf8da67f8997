#pragma once

namespace ZymWindows::Network {

// The queries whose failures map to exceptions by their own table.
enum class Query {
    SERVERS_OR_SHARES,
    USERS,
    LOCAL_GROUPS,
    GLOBAL_GROUPS,
    GROUPS_FOR_USER,
    LOCAL_GROUP_MEMBERS,
    GLOBAL_GROUP_MEMBERS,
};

// Raises the exception, with an empty message, that a failed query's
// result code stands for; the code becomes the thread's last error.
[[noreturn]] void ThrowQueryFailure(Query query, unsigned long result);

} // namespace ZymWindows::Network
