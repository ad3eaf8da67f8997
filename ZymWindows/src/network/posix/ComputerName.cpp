#include "../NetworkPlatform.h"

#include <ZymCharset/Utf.h>

#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

constexpr std::size_t MAX_COMPUTER_NAME_LENGTH = 15;

} // namespace

std::u16string GetComputerName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return u"localhost";
    const std::string name(host);
    return ZymCharset::FromUtf8(name.substr(0, name.find('.')).substr(0, MAX_COMPUTER_NAME_LENGTH));
}

} // namespace ZymWindows::Platform
