// The domain side of the provider: servers, domain controllers, a machine's
// domain and shares.

#include "NetApi.h"
#include "NetApiProvider.h"

namespace ZymWindows::Network {

using Win32::CallText;
using Win32::CallTextWritable;
using Win32::FromCall;
using Win32::NetBuffer;

// The domain of no name in particular is this machine's own: the call's
// null domain.
unsigned long NetApiProvider::ServerEnum(const std::u16string& domain, unsigned long type,
                                         std::vector<std::u16string>& names) {
    NetBuffer<SERVER_INFO_100> buffer;
    DWORD read = 0, total = 0, resume = 0;
    const NET_API_STATUS result =
        ::NetServerEnum(nullptr, 100, buffer.Bytes(), MAX_PREFERRED_LENGTH, &read, &total, type,
                        domain.empty() ? nullptr : CallText(domain), &resume);
    if (result == NERR_Success)
        for (const SERVER_INFO_100& server : buffer.Entries(read))
            names.push_back(FromCall(server.sv100_name));
    return result;
}

unsigned long NetApiProvider::GetDcName(const std::u16string& domain, bool primary,
                                        std::u16string& controller) {
    NetBuffer<DOMAIN_CONTROLLER_INFOW> info;
    const DWORD result = ::DsGetDcNameW(nullptr, CallText(domain), nullptr, nullptr,
                                        primary ? DS_PDC_REQUIRED : 0, info.Typed());
    if (result == ERROR_SUCCESS && info.Get())
        controller = FromCall(info.Get()->DomainControllerName);
    return result;
}

unsigned long NetApiProvider::WkstaGetInfo(const std::u16string& machine, std::u16string& domain) {
    NetBuffer<WKSTA_INFO_100> buffer;
    const NET_API_STATUS result = ::NetWkstaGetInfo(CallTextWritable(machine), 100, buffer.Bytes());
    if (result == NERR_Success && buffer.Get())
        domain = FromCall(buffer.Get()->wki100_langroup);
    return result;
}

unsigned long NetApiProvider::ServerGetInfo(const std::u16string& server) {
    NetBuffer<SERVER_INFO_100> buffer;
    return ::NetServerGetInfo(CallTextWritable(server), 100, buffer.Bytes());
}

unsigned long NetApiProvider::ShareEnum(const std::u16string& server,
                                        std::vector<std::u16string>& shares) {
    NetBuffer<SHARE_INFO_1> buffer;
    DWORD read = 0, total = 0;
    const NET_API_STATUS result = ::NetShareEnum(CallTextWritable(server), 1, buffer.Bytes(),
                                                 MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    if (result == NERR_Success)
        for (const SHARE_INFO_1& share : buffer.Entries(read))
            shares.push_back(FromCall(share.shi1_netname));
    return result;
}

} // namespace ZymWindows::Network
