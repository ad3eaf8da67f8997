#pragma once

#include <cstdint>

namespace ZymWindows::Network {

// What a remote call asks about, which decides the code of a name the
// server does not know.
enum class RemoteSubject { Server, DomainController, User, Group, Alias, Account };

// The Win32 or NERR code a Windows call returns for the Samba call's status
// and the helper's reason (a NetHelper::Reason). The Samba library reports
// every unknown account as 1332 and every failed connection as 1003.
unsigned long MapRemoteResult(RemoteSubject subject, std::uint32_t status, std::uint32_t reason);

} // namespace ZymWindows::Network
