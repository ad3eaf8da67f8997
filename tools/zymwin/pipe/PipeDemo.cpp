#include "Command.h"
#include "DemoFolder.h"
#include "PipeEcho.h"
#include "PipeReady.h"

#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeDaemon.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace zymwin {

namespace {

constexpr const char* DEMO_PIPE = "zymwin-demo";

#ifdef _WIN32
// The demo's pipe lives in the system's pipe namespace: nothing to set up.
class TemporaryPipeDirectory {};
#else
// Points ZYM_PIPE_DIR at a fresh directory for the demo's lifetime.
class TemporaryPipeDirectory {
public:
    TemporaryPipeDirectory() {
        if (const char* previous = std::getenv("ZYM_PIPE_DIR"))
            m_Previous = previous;
        setenv("ZYM_PIPE_DIR", m_Folder.Path().c_str(), 1);
    }
    ~TemporaryPipeDirectory() {
        if (m_Previous)
            setenv("ZYM_PIPE_DIR", m_Previous->c_str(), 1);
        else
            unsetenv("ZYM_PIPE_DIR");
    }
    TemporaryPipeDirectory(const TemporaryPipeDirectory&) = delete;
    TemporaryPipeDirectory& operator=(const TemporaryPipeDirectory&) = delete;

private:
    const DemoFolder m_Folder{"zymwin-pipe"};
    std::optional<std::string> m_Previous;
};
#endif

void PipeDemo() {
    [[maybe_unused]] const TemporaryPipeDirectory directory;
    Zym::SmartPtr<ZymWindows::NamedPipeDaemon> daemon =
        new ZymWindows::NamedPipeDaemon(DEMO_PIPE, new PipeEcho(stdout), nullptr);
    if (!WaitUntilPipeExists(DEMO_PIPE))
        throw UsageError{"the demo pipe did not appear"};
    {
        ZymWindows::ClientNamedPipe client(DEMO_PIPE, ".", nullptr);
        client.Initialize(false, u"");
        const std::string message = "hello through the pipe";
        client.Put(message.data(), static_cast<unsigned int>(message.size()));
        client.EndMessage();
        std::string reply(message.size() + 1, '\0');
        client.ReadMessage();
        reply.resize(client.Read(reply.data(), static_cast<unsigned int>(reply.size())));
        client.EndMessage();
        std::printf("sent \"%s\", the daemon answered \"%s\"\n", message.c_str(), reply.c_str());
    }
    daemon.Reset();
    std::printf("daemon stopped\n");
}

const Registration g_PipeDemo(DemoStep{40, "Named-pipe messaging", PipeDemo});

} // namespace

} // namespace zymwin
