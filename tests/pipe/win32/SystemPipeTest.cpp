// The pipe family's Windows seam on the system's own named pipes: a
// transfer and the shutdown event.
#include "pipe/PipePlatform.h"

#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

namespace Platform = ZymWindows::Platform;

namespace {

// A connected pair of one pipe instance, made in this process.
struct ConnectedPipe {
    explicit ConnectedPipe(const std::string& name)
        : path("\\\\.\\pipe\\" + name + "-" + std::to_string(::GetCurrentProcessId())),
          instance(Platform::CreatePipeInstance(path), &Platform::ClosePipeInstance) {
        EXPECT_NE(instance, nullptr);
        // The instance exists, so the client is let in before the server
        // waits for it; the server then finds it connected.
        EXPECT_EQ(Platform::OpenPipe(path, client), 0u);
        EXPECT_EQ(Platform::ConnectPipeInstance(*instance, nullptr, server), 0u);
    }

    std::string path;
    std::unique_ptr<Platform::PipeInstance, void (*)(Platform::PipeInstance*)> instance;
    Zym::Handle client;
    Zym::Handle server;
};

} // namespace

TEST(SystemPipe, TheShutdownEventEndsOnlyAWaitingTransfer) {
    ConnectedPipe pipe("zym-shutdown");
    ZymThread::EventSemaphore shutdown(true, true);
    char byte = 0;
    const Platform::PipeReadPiece in{&byte, 1};
    unsigned int done = 0;
    EXPECT_EQ(Platform::ReadPipe(pipe.server, &in, 1, 1, &shutdown, done),
              static_cast<unsigned long>(ERROR_OPERATION_ABORTED));
    // Bytes that are there complete the read whatever the event says.
    const Platform::PipeWritePiece out{"x", 1};
    ASSERT_EQ(Platform::WritePipe(pipe.client, &out, 1, nullptr, done), 0u);
    EXPECT_EQ(Platform::ReadPipe(pipe.server, &in, 1, 1, &shutdown, done), 0u);
    EXPECT_EQ(std::string(&byte, done), "x");
}
