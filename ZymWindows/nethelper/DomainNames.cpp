#include "Calls.h"

#include "HelperCodes.h"
#include "SambaSession.h"

#include <netapi.h>

namespace ZymWindows::NetHelper {

bool NamesDomain(const std::string& name, const std::string& domain) {
    if (name.empty() || domain.empty())
        return false;
    if (SameText(name, domain.c_str()))
        return true;
    // A DNS name: the domain it names tells its flat name.
    if (name.find('.') == std::string::npos)
        return false;
    DOMAIN_CONTROLLER_INFO* controller = nullptr;
    const std::uint32_t status = Status(DsGetDcName(nullptr, name.c_str(), nullptr, nullptr,
                                                    DS_RETURN_FLAT_NAME_FLAG, &controller));
    const bool same = status == 0 && controller != nullptr && controller->domain_name != nullptr &&
                      SameText(controller->domain_name, domain.c_str());
    if (controller != nullptr)
        NetApiBufferFree(controller);
    return same;
}

std::uint32_t AccountOfServer(const Request& request, std::string& bare) {
    bare = BareName(request.name);
    if (bare.size() == request.name.size())
        return 0;
    const std::string given = request.name.substr(0, request.name.size() - bare.size() - 1);
    const std::size_t start = request.server.find_first_not_of('\\');
    const std::string machine = start == std::string::npos ? "" : request.server.substr(start);
    if (SameText(given, machine.c_str()))
        return 0;
    std::string domain, sid;
    if (const std::uint32_t status = ServerDomain(ServerArgument(request), domain, sid))
        return status;
    return NamesDomain(given, domain) ? 0 : ERROR_NONE_MAPPED_CODE;
}

} // namespace ZymWindows::NetHelper
