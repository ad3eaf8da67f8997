#include "network/posix/RemoteResult.h"

#include "network/posix/RemoteProtocol.h"

#include <Zym/LastError.h>

namespace ZymWindows::Network {

namespace {

// Samba's status for a domain it found no controller of by its flat name.
constexpr unsigned long ERROR_DOMAIN_CONTROLLER_NOT_FOUND = 1908;

} // namespace

unsigned long MapRemoteResult(RemoteSubject subject, std::uint32_t status, std::uint32_t reason) {
    if (status == Zym::ERROR_SUCCESS || status == Zym::ERROR_MORE_DATA)
        return status;
    if (reason == NetHelper::REASON_LOGON_FAILURE)
        return Zym::ERROR_LOGON_FAILURE;
    if (reason == NetHelper::REASON_ACCESS_DENIED)
        return Zym::ERROR_ACCESS_DENIED;
    if (subject == RemoteSubject::DomainController) {
        // Samba says 1908 for a flat name nobody answers, 31 for a DNS name
        // without records, 1003 when no controller could be reached.
        if (reason != NetHelper::REASON_NONE || status == Zym::ERROR_CAN_NOT_COMPLETE ||
            status == ERROR_DOMAIN_CONTROLLER_NOT_FOUND || status == Zym::ERROR_GEN_FAILURE)
            return Zym::ERROR_NO_SUCH_DOMAIN;
        return status;
    }
    if (reason == NetHelper::REASON_NAME_UNKNOWN)
        return Zym::NERR_InvalidComputer;
    if (reason != NetHelper::REASON_NONE || status == Zym::ERROR_CAN_NOT_COMPLETE)
        return Zym::RPC_S_SERVER_UNAVAILABLE;
    if (status == Zym::ERROR_NONE_MAPPED) {
        switch (subject) {
        case RemoteSubject::User:
            return Zym::NERR_UserNotFound;
        case RemoteSubject::Group:
            return Zym::NERR_GroupNotFound;
        case RemoteSubject::Alias:
            return Zym::ERROR_NO_SUCH_ALIAS;
        default:
            break;
        }
    }
    return status;
}

} // namespace ZymWindows::Network
