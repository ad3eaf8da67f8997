#include "Providers.h"
#include "Router.h"

namespace ZymWindows::Network {

std::unique_ptr<Provider> MakeSystemProvider() {
    return std::make_unique<Router>(MakeLocalProvider(), &MakeRemoteProvider);
}

} // namespace ZymWindows::Network
