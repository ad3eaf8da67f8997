#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ZymNetwork::OS {

struct InterfaceAddress {
    std::string interfaceName;
    std::uint32_t address; // first byte most significant
    bool up;
    bool loopback;
};

// The IPv4 addresses of the machine's interfaces, in the system's order;
// empty when the system does not tell.
std::vector<InterfaceAddress> IPv4Addresses();

// The interface that carries the default IPv4 route (the cheapest one if
// there are several); empty when there is none or it cannot be told.
std::string DefaultRouteInterface();

} // namespace ZymNetwork::OS
