#include "ZymNetwork/ComputerName.h"

#include <Zym/NoCase.h>

namespace ZymNetwork {

bool IsLocalComputer(std::u16string_view name) {
    if (name.substr(0, 2) == u"\\\\")
        name.remove_prefix(2);
    return name.empty() || name == u"." || Zym::WNoCase::IsEqual(name, u"localhost") ||
           Zym::WNoCase::IsEqual(name, GetComputerName());
}

} // namespace ZymNetwork
