#include "Calls.h"

#include "HelperCodes.h"
#include "SambaSession.h"

#include <cstdlib>

#include <netapi.h>

namespace ZymWindows::NetHelper {

namespace {

// The domain name to look a controller up by: this machine's own when none
// is given (DsGetDcName without one crashes in this Samba version), and the
// DNS name of this machine's domain for its flat name, which Samba finds
// through DNS only once a DNS-named lookup has filled its cache.
std::string DomainOrOwn(const std::string& domain) {
    const std::string workgroup = Configured("lp_workgroup");
    const std::string realm = Configured("lp_realm");
    if (domain.empty() || SameText(domain, workgroup.c_str()))
        return realm.empty() ? (domain.empty() ? workgroup : domain) : realm;
    return domain;
}

} // namespace

// NetServerEnum. The Samba library has no browse list and no trust
// enumeration, so the answers come from the domain's controller, found
// through DNS: the domains are this machine's own (or the one asked
// about), as the controller names it, or the workgroup its configuration
// names when no controller answers; workstations and servers are the
// computer accounts the controller lists; controllers are the one found
// (the accounts' flags do not tell controllers apart); other types (print,
// time, SQL servers...) are nothing an account tells, and list nothing.
std::uint32_t ServerEnum(const Request& request, Response& response) {
    const std::string named = DomainOrOwn(request.name);
    if (named.empty())
        return ERROR_NO_BROWSER_SERVERS_FOUND_CODE;
    DOMAIN_CONTROLLER_INFO* controller = nullptr;
    std::uint32_t status = Status(DsGetDcName(nullptr, named.c_str(), nullptr, nullptr,
                                              DS_RETURN_FLAT_NAME_FLAG, &controller));
    std::string domain, name, address;
    if (status == 0 && controller != nullptr) {
        domain = controller->domain_name != nullptr ? controller->domain_name : "";
        name =
            controller->domain_controller_name != nullptr ? controller->domain_controller_name : "";
        address = controller->domain_controller_address != nullptr
                      ? controller->domain_controller_address
                      : "";
    }
    if (controller != nullptr)
        NetApiBufferFree(controller);
    const std::uint32_t type = request.a;
    const bool domains = (type & SV_TYPE_DOMAIN_ENUM_FLAG) != 0 && type != SV_TYPE_ALL_FLAG;
    // A machine in a workgroup knows that workgroup, and nothing more.
    if (status != 0 && domains && request.name.empty())
        domain = Configured("lp_workgroup");
    else if (status != 0)
        return ERROR_NO_BROWSER_SERVERS_FOUND_CODE;
    if (domains) {
        if (domain.empty())
            return ERROR_NO_BROWSER_SERVERS_FOUND_CODE;
        response.entries.push_back({domain, "", 0, 0});
        return 0;
    }
    const bool everyMachine =
        type == SV_TYPE_ALL_FLAG || (type & (SV_TYPE_WORKSTATION_FLAG | SV_TYPE_SERVER_FLAG)) != 0;
    if (!everyMachine) {
        while (!name.empty() && name.front() == '\\')
            name.erase(0, 1);
        if ((type & (SV_TYPE_DOMAIN_CTRL_FLAG | SV_TYPE_DOMAIN_BAKCTRL_FLAG)) != 0)
            response.entries.push_back({name, "", 0, 0});
        return 0;
    }
    while (!address.empty() && address.front() == '\\')
        address.erase(0, 1);
    Response page;
    std::uint32_t index = 0;
    do {
        page.entries.clear();
        status = DisplayPage(address.c_str(), DISPLAY_MACHINES_LEVEL, index, 100, page);
        for (Entry& entry : page.entries) {
            if (!entry.name.empty() && entry.name.back() == '$')
                entry.name.pop_back();
            index = entry.b;
            response.entries.push_back({entry.name, "", 0, 0});
        }
    } while (status == ERROR_MORE_DATA_CODE && !page.entries.empty());
    return status;
}

std::uint32_t GetDcName(const Request& request, Response& response) {
    const std::string named = DomainOrOwn(request.name);
    if (named.empty())
        return ERROR_NO_SUCH_DOMAIN_CODE;
    const char* domain = named.c_str();
    DOMAIN_CONTROLLER_INFO* controller = nullptr;
    const std::uint32_t status = Status(DsGetDcName(
        nullptr, domain, nullptr, nullptr, request.a != 0 ? DS_PDC_REQUIRED_FLAG : 0, &controller));
    if (status == 0 && controller != nullptr && controller->domain_controller_name != nullptr)
        response.entries.push_back({controller->domain_controller_name, "", 0, 0});
    if (controller != nullptr)
        NetApiBufferFree(controller);
    return status;
}

// This machine's workgroup is its configuration's.
std::uint32_t WkstaGetInfo(const Request& request, Response& response) {
    if (request.server.empty()) {
        const std::string workgroup = Configured("lp_workgroup");
        if (workgroup.empty())
            return ERROR_CAN_NOT_COMPLETE_CODE;
        response.entries.push_back({workgroup, "", 0, 0});
        return 0;
    }
    void* buffer = nullptr;
    const std::uint32_t status =
        Status(NetWkstaGetInfo(ServerArgument(request), 100, reinterpret_cast<uint8_t**>(&buffer)));
    if (status == 0 && buffer != nullptr) {
        const auto* info = static_cast<const WkstaInfo100*>(buffer);
        response.entries.push_back({info->langroup != nullptr ? info->langroup : "", "", 0, 0});
    }
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    return status;
}

std::uint32_t ServerGetInfo(const Request& request) {
    void* buffer = nullptr;
    const std::uint32_t status = Status(
        NetServerGetInfo(ServerArgument(request), 100, reinterpret_cast<uint8_t**>(&buffer)));
    if (buffer != nullptr)
        NetApiBufferFree(buffer);
    return status;
}

} // namespace ZymWindows::NetHelper
