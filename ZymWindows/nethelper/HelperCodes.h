#pragma once

#include <cstdint>

namespace ZymWindows::NetHelper {

// Win32 and NERR codes the helper itself returns.
constexpr std::uint32_t ERROR_INVALID_PARAMETER_CODE = 87;
constexpr std::uint32_t ERROR_MORE_DATA_CODE = 234;
constexpr std::uint32_t ERROR_CAN_NOT_COMPLETE_CODE = 1003;
constexpr std::uint32_t ERROR_NO_SUCH_USER_CODE = 1317;
constexpr std::uint32_t ERROR_NONE_MAPPED_CODE = 1332;
constexpr std::uint32_t ERROR_NO_SUCH_DOMAIN_CODE = 1355;
constexpr std::uint32_t ERROR_INVALID_DATATYPE_CODE = 1804;
constexpr std::uint32_t ERROR_NO_BROWSER_SERVERS_FOUND_CODE = 6118;
constexpr std::uint32_t MAX_PREFERRED = 0xFFFFFFFFU;
constexpr std::uint32_t DS_RETURN_FLAT_NAME_FLAG = 0x80000000U;
constexpr std::uint32_t SV_TYPE_DOMAIN_ENUM_FLAG = 0x80000000U;
constexpr std::uint32_t SV_TYPE_ALL_FLAG = 0xFFFFFFFFU;
constexpr std::uint32_t SV_TYPE_WORKSTATION_FLAG = 0x00000001U;
constexpr std::uint32_t SV_TYPE_SERVER_FLAG = 0x00000002U;
constexpr std::uint32_t SV_TYPE_DOMAIN_CTRL_FLAG = 0x00000008U;
constexpr std::uint32_t SV_TYPE_DOMAIN_BAKCTRL_FLAG = 0x00000010U;
constexpr std::uint32_t DS_PDC_REQUIRED_FLAG = 0x00000080U;
constexpr std::uint32_t LG_INCLUDE_INDIRECT_FLAG = 0x00000001U;
constexpr std::uint32_t SID_TYPE_USER = 1;
constexpr std::uint32_t SID_TYPE_GROUP = 2;
constexpr std::uint32_t SID_TYPE_DOMAIN = 3;
constexpr std::uint32_t SID_TYPE_ALIAS = 4;
constexpr std::uint32_t DISPLAY_USERS_LEVEL = 1;
constexpr std::uint32_t DISPLAY_MACHINES_LEVEL = 2;
constexpr std::uint32_t DISPLAY_GROUPS_LEVEL = 3;

// The Samba header declares NetWkstaGetInfo without its level-100 record.
struct WkstaInfo100 {
    std::uint32_t platformId;
    const char* computerName;
    const char* langroup;
    std::uint32_t versionMajor;
    std::uint32_t versionMinor;
};

} // namespace ZymWindows::NetHelper
