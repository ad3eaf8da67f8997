#include "ZymNetwork/ComputerName.h"

#include <ZymCharset/Utf.h>

#include <unistd.h>

namespace ZymNetwork {

namespace {

constexpr std::size_t COMPUTER_NAME_LENGTH = 15;

} // namespace

std::u16string GetComputerName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return u"localhost";
    const std::string name(host);
    const std::string computer = name.substr(0, name.find('.')).substr(0, COMPUTER_NAME_LENGTH);
    return computer.empty() ? u"localhost" : ZymCharset::FromUtf8(computer);
}

} // namespace ZymNetwork
