#include "PamLibrary.h"

#include <dlfcn.h>

#include <optional>

namespace ZymWindows::Platform {

namespace {

constexpr const char* PAM_LIBRARY = "libpam.so.0";

template <typename Function> bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Stays loaded for the life of the process: the modules it loads keep
// pointers into it.
std::optional<PamLibrary> Load() {
    void* library = dlopen(PAM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return std::nullopt;
    PamLibrary pam{};
    if (!Find(library, "pam_start", pam.start) || !Find(library, "pam_end", pam.end) ||
        !Find(library, "pam_set_item", pam.setItem) ||
        !Find(library, "pam_get_item", pam.getItem) ||
        !Find(library, "pam_authenticate", pam.authenticate) ||
        !Find(library, "pam_acct_mgmt", pam.accountManagement))
        return std::nullopt;
    return pam;
}

} // namespace

const PamLibrary* LoadPam() {
    static const std::optional<PamLibrary> pam = Load();
    return pam ? &*pam : nullptr;
}

} // namespace ZymWindows::Platform
