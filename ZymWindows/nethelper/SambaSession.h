#pragma once

#include "network/posix/RemoteProtocol.h"

#include <cstdint>
#include <string>

#include <netapi.h>

namespace ZymWindows::NetHelper {

bool SameText(const std::string& a, const char* b);

// Everything the Samba library prints goes to a memory file, read back
// after each call: its connection errors are told only there.
class OutputCapture {
public:
    OutputCapture();
    std::string Take();

private:
    int m_File = -1;
};

// A setting of this machine's Samba configuration. The Samba library
// exports no accessor of its own; the configuration library it loads does.
std::string Configured(const char* getter);

// The one Samba context, made again when the credentials change: the
// library keeps its connections by server name, logged on as they were.
class Context {
public:
    // 0 or libnetapi_init's failure.
    std::uint32_t Prepare(const Request& request);

private:
    libnetapi_ctx* m_Context = nullptr;
    std::string m_User;
    std::string m_Password;
    std::string m_Ccache;
};

std::uint32_t Status(NET_API_STATUS status);
std::string SidText(const domsid* sid);
const char* ServerArgument(const Request& request);
// An account name without the "DOMAIN\" a caller may put in front.
std::string BareName(const std::string& account);

template <class Record, class Each> void ForEach(void* buffer, std::uint32_t count, Each each) {
    const Record* records = static_cast<const Record*>(buffer);
    for (std::uint32_t i = 0; i < count; ++i)
        each(records[i]);
}

} // namespace ZymWindows::NetHelper
