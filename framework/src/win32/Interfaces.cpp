#include "../ZymNetwork/Interfaces.h"

// Winsock first: the IP helper's declarations build on it.
#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

namespace ZymNetwork::OS {

namespace {

// The adapters with their IPv4 addresses; empty when the system does not
// tell.
std::vector<unsigned char> Adapters() {
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<unsigned char> buffer(size);
        const ULONG result = ::GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (result == ERROR_SUCCESS)
            return buffer;
        if (result != ERROR_BUFFER_OVERFLOW)
            break;
    }
    return {};
}

} // namespace

std::vector<InterfaceAddress> IPv4Addresses() {
    std::vector<InterfaceAddress> addresses;
    std::vector<unsigned char> buffer = Adapters();
    if (buffer.empty())
        return addresses;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET)
                continue;
            const auto* inet = reinterpret_cast<const sockaddr_in*>(address);
            addresses.push_back({adapter->AdapterName, ntohl(inet->sin_addr.s_addr),
                                 adapter->OperStatus == IfOperStatusUp,
                                 adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK});
        }
    }
    return addresses;
}

std::string DefaultRouteInterface() {
    // The interface that the system would send to 0.0.0.0 through.
    DWORD index = 0;
    if (::GetBestInterface(0, &index) != NO_ERROR)
        return {};
    std::vector<unsigned char> buffer = Adapters();
    if (buffer.empty())
        return {};
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next)
        if (adapter->IfIndex == index)
            return adapter->AdapterName;
    return {};
}

} // namespace ZymNetwork::OS
