#pragma once

#include "network/NetworkProvider.h"

#include <memory>

namespace ZymWindows::Network {

// The provider that every query goes through: the router between this
// machine and the network, unless a test has installed its own.
std::shared_ptr<Provider> CurrentProvider();

// Replaces the provider for the queries that follow (null: the router
// again). Identities on other machines are then resolved through it too.
void InstallProvider(std::shared_ptr<Provider> provider);

} // namespace ZymWindows::Network
