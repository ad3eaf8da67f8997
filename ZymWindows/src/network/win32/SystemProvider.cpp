#include "NetApiProvider.h"

namespace ZymWindows::Network {

// The system's network calls route by server name themselves: this computer
// answers for an empty name or its own, and every other machine or domain
// is asked over the network.
std::unique_ptr<Provider> MakeSystemProvider() {
    return std::make_unique<NetApiProvider>();
}

} // namespace ZymWindows::Network
