#include "Wine.h"

#include <windows.h>

namespace zymtest {

std::optional<std::string> WineVersion() {
    // Wine's ntdll exports its version; Windows's does not.
    using Version = const char* (*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const FARPROC found = ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr;
    if (!found)
        return std::nullopt;
    // Through void (*)(), the one function type that casts to every other.
    return std::string(reinterpret_cast<Version>(reinterpret_cast<void (*)()>(found))());
}

bool WineLacksCodePage(unsigned codePage) {
    CPINFO info;
    return WineVersion() && !GetCPInfo(codePage, &info);
}

} // namespace zymtest
