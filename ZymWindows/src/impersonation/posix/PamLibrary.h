#pragma once

#include <security/pam_appl.h>

namespace ZymWindows::Platform {

// The entry points of libpam, which is loaded on the first logon: a process
// that never logs anybody on does not carry it and what it pulls in.
struct PamLibrary {
    decltype(&::pam_start) start;
    decltype(&::pam_end) end;
    decltype(&::pam_set_item) setItem;
    decltype(&::pam_get_item) getItem;
    decltype(&::pam_authenticate) authenticate;
    decltype(&::pam_acct_mgmt) accountManagement;
};

// Null when libpam cannot be loaded.
const PamLibrary* LoadPam();

} // namespace ZymWindows::Platform
