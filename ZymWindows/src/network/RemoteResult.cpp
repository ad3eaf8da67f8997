#include "network/RemoteResult.h"

#include "network/RemoteProtocol.h"

namespace ZymWindows::Network {

namespace {

constexpr unsigned long ERROR_ACCESS_DENIED_CODE = 5;
constexpr unsigned long ERROR_GEN_FAILURE_CODE = 31;
constexpr unsigned long ERROR_MORE_DATA_CODE = 234;
constexpr unsigned long ERROR_CAN_NOT_COMPLETE_CODE = 1003;
constexpr unsigned long ERROR_LOGON_FAILURE_CODE = 1326;
constexpr unsigned long ERROR_NONE_MAPPED_CODE = 1332;
constexpr unsigned long ERROR_NO_SUCH_DOMAIN_CODE = 1355;
constexpr unsigned long ERROR_NO_SUCH_ALIAS_CODE = 1376;
constexpr unsigned long RPC_S_SERVER_UNAVAILABLE_CODE = 1722;
constexpr unsigned long ERROR_DOMAIN_CONTROLLER_NOT_FOUND_CODE = 1908;
constexpr unsigned long NERR_GROUP_NOT_FOUND_CODE = 2220;
constexpr unsigned long NERR_USER_NOT_FOUND_CODE = 2221;
constexpr unsigned long NERR_INVALID_COMPUTER_CODE = 2351;

} // namespace

unsigned long MapRemoteResult(RemoteSubject subject, std::uint32_t status, std::uint32_t reason) {
    if (status == 0 || status == ERROR_MORE_DATA_CODE)
        return status;
    if (reason == NetHelper::REASON_LOGON_FAILURE)
        return ERROR_LOGON_FAILURE_CODE;
    if (reason == NetHelper::REASON_ACCESS_DENIED)
        return ERROR_ACCESS_DENIED_CODE;
    if (subject == RemoteSubject::DomainController) {
        // Samba says 1908 for a flat name nobody answers, 31 for a DNS name
        // without records, 1003 when no controller could be reached.
        if (reason != NetHelper::REASON_NONE || status == ERROR_CAN_NOT_COMPLETE_CODE ||
            status == ERROR_DOMAIN_CONTROLLER_NOT_FOUND_CODE || status == ERROR_GEN_FAILURE_CODE)
            return ERROR_NO_SUCH_DOMAIN_CODE;
        return status;
    }
    if (reason == NetHelper::REASON_NAME_UNKNOWN)
        return NERR_INVALID_COMPUTER_CODE;
    if (reason != NetHelper::REASON_NONE || status == ERROR_CAN_NOT_COMPLETE_CODE)
        return RPC_S_SERVER_UNAVAILABLE_CODE;
    if (status == ERROR_NONE_MAPPED_CODE) {
        switch (subject) {
        case RemoteSubject::User:
            return NERR_USER_NOT_FOUND_CODE;
        case RemoteSubject::Group:
            return NERR_GROUP_NOT_FOUND_CODE;
        case RemoteSubject::Alias:
            return ERROR_NO_SUCH_ALIAS_CODE;
        default:
            break;
        }
    }
    return status;
}

} // namespace ZymWindows::Network
