#pragma once

#include "network/NetworkProvider.h"

#include <ZymWindows/Export.h>

#include <memory>

namespace ZymWindows::Network {

// The provider that every query goes through: the system's, unless a test
// has installed its own.
std::shared_ptr<Provider> CurrentProvider();

// Replaces the provider for the queries that follow (null: the system's
// again). Identities on other machines are then resolved through it too.
ZYMWINDOWS_EXPORT void InstallProvider(std::shared_ptr<Provider> provider);

} // namespace ZymWindows::Network
