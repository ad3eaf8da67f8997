#pragma once

// The library's message catalog: the codes of module "ZymWindows" and the
// blob registered with ZymMessages under "ZymWindowsMsg-I.h".

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ZymWindows {

inline constexpr const char* MSG_MODULE = "ZymWindows";
inline constexpr const char* MSG_CATALOG_NAME = "ZymWindowsMsg-I.h";

enum MessageCode : long {
    MSG_REG_DATATYPE_NOT_SUPPORTED = 0,
    MSG_REG_INVALID_KEY_PATH = 1,
    MSG_REG_VALUE_NOT_FOUND = 2,
    MSG_REG_INVALID_ROOT_KEY = 3,
    MSG_PIPE_DISCONNECTED = 4,
    MSG_UNKNOWN_EXCEPTION = 5,
    MSG_CALL_CONTROL_SERVICE = 6,
    MSG_CALL_CREATE_SERVICE = 7,
    MSG_CALL_GET_MODULE_FILE_NAME = 8,
    MSG_CALL_OPEN_SC_MANAGER = 9,
    MSG_CALL_OPEN_SERVICE = 10,
    MSG_CALL_POST_THREAD_MESSAGE = 11,
    MSG_CALL_QUERY_SERVICE_STATUS = 12,
    MSG_CALL_START_SERVICE_CTRL_DISPATCHER = 13,
    MSG_SERVICE_ATTEMPT_STOP = 14,
    MSG_SERVICE_INSTALLED = 15,
    MSG_SERVICE_INSTALLING = 16,
    MSG_SERVICE_RUNNING = 17,
    MSG_SERVICE_STARTING = 18,
    MSG_SERVICE_START_PENDING = 19,
    MSG_SERVICE_STOPPED = 20,
    MSG_SERVICE_STOP_PENDING = 21,
    MSG_SERVICE_UNINSTALLED = 22,
    MSG_SERVICE_UNINSTALLING = 23,
    MSG_SERVICE_HANDLER = 24,
    MSG_SERVICE_INSTALL = 25,
    MSG_SERVICE_MAIN = 26,
    MSG_SERVICE_RUN = 27,
    MSG_SERVICE_START = 28,
    MSG_SERVICE_STOP = 29,
    MSG_SERVICE_UNINSTALL = 30,
};

namespace MessageCatalog {

constexpr std::array<std::u16string_view, 31> TEXTS = {
    u"The registry key datatype is not supported for key %1/%2.",
    u"The registry key path is invalid for %1.",
    u"The value \"%2\" does not exist in %1.",
    u"The root system key \"%1\" is invalid.",
    u"The other end of the pipe has disconnected.",
    u"Unknown exception.",
    u"ControlService",
    u"CreateService",
    u"GetModuleFileName",
    u"OpenSCManager",
    u"OpenService",
    u"PostThreadMessage",
    u"QueryServiceStatus",
    u"StartServiceCtrlDispatcher",
    u"Attempt to stop the service.",
    u"The service is installed.",
    u"Installing the service...",
    u"The service is running.",
    u"Starting the service...",
    u"The service start is pending...",
    u"The service is stopped.",
    u"The service stop is pending...",
    u"The service is uninstalled.",
    u"Uninstalling the service...",
    u"Service::Handler; %1",
    u"Service::Install; %1",
    u"Service::Main; %1",
    u"Service::Run; %1",
    u"Service::Start; %1",
    u"Service::Stop; %1",
    u"Service::Uninstall; %1",
};

inline constexpr std::string_view MODULE = "ZymWindows";

// Per record: u32 module length, module, u32 code, u32 2, u8 1, u32 text
// length, UTF-16LE text, u8 0.
inline constexpr std::size_t RECORD_FIXED_BYTES = 4 + MODULE.size() + 4 + 4 + 1 + 4 + 1;

constexpr std::size_t BlobSize() {
    std::size_t size = 4;
    for (auto text : TEXTS)
        size += RECORD_FIXED_BYTES + 2 * text.size();
    return size;
}

inline constexpr std::size_t BLOB_SIZE = BlobSize();
static_assert(BLOB_SIZE == 2374, "the catalog blob is 2374 bytes");

constexpr std::array<std::uint8_t, BLOB_SIZE> BuildBlob() {
    std::array<std::uint8_t, BLOB_SIZE> blob{};
    std::size_t at = 0;
    auto u8 = [&](std::uint8_t v) { blob[at++] = v; };
    auto u32 = [&](std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            u8(static_cast<std::uint8_t>(v >> shift));
    };
    u32(static_cast<std::uint32_t>(TEXTS.size()));
    for (std::size_t code = 0; code < TEXTS.size(); ++code) {
        u32(static_cast<std::uint32_t>(MODULE.size()));
        for (char c : MODULE)
            u8(static_cast<std::uint8_t>(c));
        u32(static_cast<std::uint32_t>(code));
        u32(2);
        u8(1);
        u32(static_cast<std::uint32_t>(2 * TEXTS[code].size()));
        for (char16_t unit : TEXTS[code]) {
            u8(static_cast<std::uint8_t>(unit & 0xFF));
            u8(static_cast<std::uint8_t>(unit >> 8));
        }
        u8(0);
    }
    return blob;
}

// Internal linkage: one copy per unit, so the library stays unloadable.
constexpr std::array<std::uint8_t, BLOB_SIZE> BLOB = BuildBlob();

} // namespace MessageCatalog

} // namespace ZymWindows
