#pragma once

#include <ZymSecurity/BinarySID.h>
#include <ZymSecurity/RemoteAccountLookup.h>

#include <string>
#include <vector>

// What ZymSecurity asks of the operating system. Every function reports
// failure as a Win32 error number, also left as the thread's last error.
namespace ZymSecurity::Platform {

// Resolves a SID on this machine: its account's name, domain and type.
// ERROR_NONE_MAPPED when the machine does not know the account; `account`
// then holds what can be said of it without the machine's answer (at least
// the SID, of type SidTypeUnknown), which is not worth keeping.
unsigned long ResolveSID(const BinarySID& sid, ResolvedAccount& account);

// The SID of an account of this machine, "name" or "domain\name";
// ERROR_NONE_MAPPED for an account the machine does not know.
unsigned long FindAccount(const std::u16string& account, BinarySID& sid);

// What a thread or process acts with.
struct Credentials {
    BinarySID user;
    std::vector<BinarySID> groups; // the primary group first
};

// The credentials of the calling thread (the process's, while the thread
// acts as nobody else), or of the process.
unsigned long ThreadCredentials(Credentials& credentials);
unsigned long ProcessCredentials(Credentials& credentials);

} // namespace ZymSecurity::Platform
