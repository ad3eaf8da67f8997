#include "network/NetworkPlatform.h"

#include <Zym/NoCase.h>
#include <ZymNetwork/ComputerName.h>

namespace ZymWindows::Network {

bool IsThisComputer(std::u16string_view name) {
    if (ZymNetwork::IsLocalComputer(name))
        return true;
    if (name.substr(0, 2) == u"\\\\")
        name.remove_prefix(2);
    const std::u16string host = FullHostName();
    return !host.empty() && Zym::WNoCase::IsEqual(name, host);
}

} // namespace ZymWindows::Network
