#include "network/NetworkPlatform.h"

#include <ZymCharset/Utf.h>

#include <unistd.h>

namespace ZymWindows::Network {

std::u16string FullHostName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return {};
    return ZymCharset::FromUtf8(host);
}

} // namespace ZymWindows::Network
