#pragma once

#include <ZymWindows/Service.h>

namespace zymwin {

inline const char* ProcessTypeName(ZymWindows::Service::ProcessType type) {
    switch (type) {
    case ZymWindows::Service::SERVICE_PROCESS:
        return "SERVICE_PROCESS";
    case ZymWindows::Service::INTERACTIVE_PROCESS:
        return "INTERACTIVE_PROCESS";
    default:
        return "OTHER_PROCESS";
    }
}

} // namespace zymwin
