#include "network/NetworkPlatform.h"

#include <windows.h>

namespace ZymWindows::Network {

std::u16string FullHostName() {
    DWORD length = 0;
    ::GetComputerNameExW(ComputerNameDnsFullyQualified, nullptr, &length);
    if (length == 0)
        return {};
    std::u16string name(length, u'\0');
    if (!::GetComputerNameExW(ComputerNameDnsFullyQualified,
                              reinterpret_cast<wchar_t*>(name.data()), &length))
        return {};
    name.resize(length);
    return name;
}

} // namespace ZymWindows::Network
