#include "ZymNetwork/IP.h"

#include "Interfaces.h"

#include "ZymCharset/Utf.h"

#include <optional>

namespace ZymNetwork {

IP IP::GetMyIP() {
    const std::string routeInterface = OS::DefaultRouteInterface();
    std::optional<IP> firstOther;
    for (const auto& candidate : OS::IPv4Addresses()) {
        if (!candidate.up || candidate.loopback)
            continue;
        if (candidate.interfaceName == routeInterface)
            return IP(candidate.address);
        if (!firstOther)
            firstOther = IP(candidate.address);
    }
    return firstOther.value_or(IP(127, 0, 0, 1));
}

std::string IP::ToString() const {
    return std::to_string(m_Value >> 24) + '.' + std::to_string(m_Value >> 16 & 0xFF) + '.' +
           std::to_string(m_Value >> 8 & 0xFF) + '.' + std::to_string(m_Value & 0xFF);
}

std::u16string IP::ToWString() const {
    return ZymCharset::FromUtf8(ToString());
}

} // namespace ZymNetwork
