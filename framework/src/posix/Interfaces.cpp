#include "../ZymNetwork/Interfaces.h"

#include <arpa/inet.h>
#include <fstream>
#include <ifaddrs.h>
#include <limits>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sstream>

namespace ZymNetwork::OS {

std::vector<InterfaceAddress> IPv4Addresses() {
    std::vector<InterfaceAddress> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* inet = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        addresses.push_back({entry->ifa_name, ntohl(inet->sin_addr.s_addr),
                             (entry->ifa_flags & IFF_UP) != 0,
                             (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    ::freeifaddrs(list);
    return addresses;
}

std::string DefaultRouteInterface() {
    std::ifstream table("/proc/net/route");
    std::string line;
    std::getline(table, line); // column titles
    std::string best;
    unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask ...,
    // addresses and flags in hexadecimal.
    while (std::getline(table, line)) {
        std::istringstream columns(line);
        std::string name;
        unsigned long destination = 0, gateway = 0, flags = 0, references = 0, use = 0, metric = 0,
                      mask = 0;
        if (!(columns >> name >> std::hex >> destination >> gateway >> flags >> std::dec >>
              references >> use >> metric >> std::hex >> mask))
            continue;
        const bool isDefault = destination == 0 && mask == 0 && (flags & RTF_UP);
        if (isDefault && metric < bestMetric) {
            best = name;
            bestMetric = metric;
        }
    }
    return best;
}

} // namespace ZymNetwork::OS
