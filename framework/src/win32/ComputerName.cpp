#include "ZymNetwork/ComputerName.h"

#include <windows.h>

// <windows.h> maps the name to its wide function with a macro.
#undef GetComputerName

namespace ZymNetwork {

std::u16string GetComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &length) || length == 0)
        return u"localhost";
    return std::u16string(reinterpret_cast<const char16_t*>(name), length);
}

} // namespace ZymNetwork
