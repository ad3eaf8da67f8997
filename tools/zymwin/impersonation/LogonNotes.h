#pragma once

namespace zymwin {

// What `zymwin impersonate --help` says of domains, of how the system
// checks the logon and of the rights it takes here.
extern const char* const LOGON_NOTES;

} // namespace zymwin
