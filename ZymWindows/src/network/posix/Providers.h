#pragma once

#include "network/NetworkProvider.h"

#include <memory>

namespace ZymWindows::Network {

// The provider that answers for this machine (the system's account
// database) and the one that answers for every other machine and domain
// (Samba's client library). The system's provider routes between them.
std::unique_ptr<Provider> MakeLocalProvider();
std::unique_ptr<Provider> MakeRemoteProvider();

} // namespace ZymWindows::Network
