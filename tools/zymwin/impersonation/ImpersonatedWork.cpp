#include "ImpersonatedWork.h"

#include "Command.h"

#include <ZymCharset/Utf.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymWindows/Impersonation.h>
#include <ZymWindows/NamedPipeClient.h>

#include <exception>
#include <fstream>
#include <thread>

namespace zymwin {

namespace {

using ZymSecurity::NetworkSecurity;

std::string Text(const ZymSecurity::BinarySID& sid) {
    return ZymCharset::ToUtf8(sid.ToString());
}

// Sends one message as a client that reports the thread's account, and
// returns the reply.
std::string SendAsImpersonatingClient(const std::string& pipeName, const std::string& message) {
    ZymWindows::ClientNamedPipe pipe(pipeName, ZymWindows::ClientNamedPipe::DEFAULT_HOST_NAME,
                                     nullptr);
    pipe.Initialize(true, u"");
    pipe.Put(message.data(), static_cast<unsigned int>(message.size()));
    pipe.EndMessage();
    std::string reply;
    char piece[ZymWindows::NamedPipe::PACKET_DATA_SIZE];
    pipe.ReadMessage();
    while (const unsigned int n = pipe.Read(piece, sizeof piece))
        reply.append(piece, n);
    pipe.EndMessage();
    return reply;
}

void Work(const ImpersonatedWork& work, std::FILE* out) {
    {
        const ZymWindows::Impersonation scope(work.domain, work.user, work.password);
        const auto thread = NetworkSecurity::GetCurrentThreadHandle();
        const auto process = NetworkSecurity::GetCurrentProcessHandle();
        std::fprintf(out, "thread user=%s group=%s\nprocess user=%s\n",
                     Text(thread->GetUser()).c_str(), Text(thread->GetGroups().front()).c_str(),
                     Text(process->GetUser()).c_str());
        if (!work.touch.empty()) {
            if (!std::ofstream(work.touch, std::ios::app))
                throw UsageError{"cannot create " + work.touch + " as the account"};
            std::fprintf(out, "created %s\n", work.touch.c_str());
        }
        if (!work.pipeName.empty())
            std::fprintf(out, "reply: %s\n",
                         SendAsImpersonatingClient(work.pipeName, work.message).c_str());
    }
    const auto after = NetworkSecurity::GetCurrentThreadHandle();
    std::fprintf(out, "reverted user=%s group=%s\n", Text(after->GetUser()).c_str(),
                 Text(after->GetGroups().front()).c_str());
}

} // namespace

void RunImpersonated(const ImpersonatedWork& work, std::FILE* out) {
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            Work(work, out);
        } catch (...) {
            error = std::current_exception();
        }
    });
    worker.join();
    std::fflush(out);
    if (error)
        std::rethrow_exception(error);
}

} // namespace zymwin
