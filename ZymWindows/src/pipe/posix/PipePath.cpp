#include "PipePath.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>

#include <cstdlib>
#include <sys/un.h>

namespace ZymWindows::Platform {

namespace {

constexpr const char* DEFAULT_PIPE_DIRECTORY = "/tmp/.zym-pipe";

bool IsLocalHost(const std::string& host) {
    static const std::string computer = ZymCharset::ToUtf8(ZymNetwork::GetComputerName());
    return host == "." || Zym::NoCase::Compare(host, "localhost") == 0 ||
           Zym::NoCase::Compare(host, computer) == 0;
}

} // namespace

std::string PipeDirectory() {
    const char* directory = std::getenv("ZYM_PIPE_DIR");
    return directory && *directory ? directory : DEFAULT_PIPE_DIRECTORY;
}

unsigned long SocketPathOf(const std::string& path, std::string& socketPath) {
    constexpr std::string_view PIPE_PART = "\\pipe\\";
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\')
        return Zym::ERROR_INVALID_NAME;
    const std::size_t hostEnd = path.find('\\', 2);
    if (hostEnd == std::string::npos ||
        Zym::NoCase::Compare(std::string_view(path).substr(hostEnd, PIPE_PART.size()), PIPE_PART) !=
            0)
        return Zym::ERROR_INVALID_NAME;
    if (!IsLocalHost(path.substr(2, hostEnd - 2)))
        return Zym::ERROR_BAD_NETPATH;
    const std::string name = path.substr(hostEnd + PIPE_PART.size());
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        return Zym::ERROR_INVALID_NAME;
    socketPath = PipeDirectory() + "/" + name;
    if (socketPath.size() >= sizeof(sockaddr_un::sun_path))
        return Zym::ERROR_FILENAME_EXCED_RANGE;
    return Zym::ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
