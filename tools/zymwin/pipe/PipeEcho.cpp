#include "PipeEcho.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/NamedPipeServer.h>

#include <string>
#include <vector>

namespace zymwin {

namespace {

std::string Describe(const std::u16string& name, const std::u16string& domain,
                     const std::u16string& ip) {
    return "name \"" + ZymCharset::ToUtf8(name) + "\", domain \"" + ZymCharset::ToUtf8(domain) +
           "\", IP \"" + ZymCharset::ToUtf8(ip) + "\"";
}

} // namespace

void* PipeEcho::Call(void* argument) {
    auto& pipe = *static_cast<ZymWindows::ServerNamedPipe*>(argument);
    {
        const std::string line =
            "connected: " +
            Describe(pipe.GetImpersonatorName(), pipe.GetImpersonatorDomain(),
                     pipe.GetImpersonatorIP()) +
            "; claimed: " +
            Describe(pipe.GetClientName(), pipe.GetClientDomain(), pipe.GetClientIP()) + "\n";
        std::lock_guard guard(m_LogLock);
        std::fputs(line.c_str(), m_Log);
        std::fflush(m_Log);
    }
    std::vector<unsigned char> message;
    unsigned char piece[ZymWindows::NamedPipe::PACKET_DATA_SIZE];
    for (;;) {
        message.clear();
        pipe.ReadMessage();
        while (const unsigned int n = pipe.Read(piece, sizeof piece))
            message.insert(message.end(), piece, piece + n);
        pipe.EndMessage();
        pipe.Put(message.data(), static_cast<unsigned int>(message.size()));
        pipe.EndMessage();
    }
}

} // namespace zymwin
