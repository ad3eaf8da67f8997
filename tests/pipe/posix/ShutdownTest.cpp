// The shutdown event against every wait of the Linux side, each caught
// asleep in poll; the Windows side's are in win32/.
#include "PosixPipeSupport.h"

#include <ZymCharset/Utf.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/NamedPipeClient.h>

#include <gtest/gtest.h>

#include <optional>

#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

using namespace pipetest;
using ZymWindows::NamedPipe;
using ZymWindows::ServerNamedPipe;

namespace {

// Runs `wait` on a server end, signals the shutdown event once the server's
// thread sleeps in its wait, and checks that the wait ends with
// MustClosePipeException. With `expectedState`, a client completes the
// handshake, then neither sends nor reads until the server has given up:
// the wait to interrupt is the one after the handshake, and it leaves the
// stream in that state.
void ExpectShutdownEnds(const std::function<void(ServerNamedPipe&)>& wait,
                        std::optional<NamedPipe::PipeState> expectedState) {
    const TestPipe pipe("shutdown");
    ZymThread::EventSemaphore shutdown(true, false);
    std::optional<NamedPipe::PipeState> stateAfter;
    std::atomic<bool> inBody{false};
    ServerThread server(
        pipe.Name(),
        [&](ServerNamedPipe& end) {
            inBody = true;
            inBody.notify_all();
            try {
                wait(end);
            } catch (const NamedPipe::MustClosePipeException&) {
                stateAfter = end.GetState();
                throw;
            }
        },
        &shutdown);
    ZymThread::EventSemaphore serverDone(true, false);
    std::thread client([&] {
        if (!expectedState)
            return;
        pipe.WaitUntilServed();
        RawPeer peer(pipe);
        peer.Handshake();
        serverDone.Wait();
    });
    if (expectedState)
        inBody.wait(false);
    WaitUntilBlockedInPoll(server.ThreadId());
    shutdown.Set();
    EXPECT_THROW(server.Join(), NamedPipe::MustClosePipeException);
    serverDone.Set();
    client.join();
    EXPECT_EQ(stateAfter, expectedState);
}

// A client whose constructor waits behind the only instance of a pipe, which
// a raw peer holds, until `interrupt` ends the wait. Returns how the
// constructor ended.
std::string
QueuedClientOutcome(const std::function<void(ZymThread::EventSemaphore& shutdown,
                                             ZymThread::EventSemaphore& release)>& interrupt,
                    bool fillBacklog = false) {
    const TestPipe pipe("shutdown");
    ZymThread::EventSemaphore release(true, false);
    ServerThread server(pipe.Name(), [&](ServerNamedPipe&) { release.Wait(); });
    pipe.WaitUntilServed();
    RawPeer first(pipe);
    first.Handshake();
    // Raw connections that nobody accepts fill the backlog: the client then
    // cannot even queue and finds the pipe busy.
    std::vector<int> queued;
    const sockaddr_un address = AddressOf(SocketOf(pipe));
    while (fillBacklog) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            EXPECT_EQ(errno, EAGAIN);
            close(fd);
            break;
        }
        queued.push_back(fd);
    }
    ZymThread::EventSemaphore shutdown(true, false);
    std::atomic<long> clientTid{0};
    std::string outcome = "opened";
    std::thread client([&] {
        clientTid = CurrentThreadId();
        try {
            ZymWindows::ClientNamedPipe queued(pipe.Name(), ".", &shutdown);
        } catch (const NamedPipe::MustClosePipeException&) {
            outcome = "must close";
        } catch (const NamedPipe::CannotOpenPipeException& error) {
            outcome = "cannot open: " + ZymCharset::ToUtf8(error.What());
        }
    });
    while (clientTid == 0)
        std::this_thread::yield();
    WaitUntilBlockedInPoll(clientTid);
    interrupt(shutdown, release);
    client.join();
    release.Set();
    server.Join();
    for (const int fd : queued)
        close(fd);
    return outcome;
}

} // namespace

// Busy instances keep a client in its constructor, not in the handshake
// after it, whether it queues or finds the backlog full: the shutdown event
// ends that wait, and a server that goes away leaves it nothing to open.
TEST(Shutdown, EndsAClientQueuedBehindBusyInstances) {
    const auto setShutdown = [](ZymThread::EventSemaphore& shutdown, ZymThread::EventSemaphore&) {
        shutdown.Set();
    };
    EXPECT_EQ(QueuedClientOutcome(setShutdown), "must close");
    EXPECT_EQ(QueuedClientOutcome(setShutdown, true), "must close");
    EXPECT_EQ(QueuedClientOutcome([](ZymThread::EventSemaphore&,
                                     ZymThread::EventSemaphore& release) { release.Set(); }),
              "cannot open: The system cannot find the file specified.");
}

// Without a client the wait for one ends; a reader waiting for a message's
// first packet leaves the stream broken for good; a writer drops the message
// it was writing and is idle again.
TEST(Shutdown, EndsEveryWaitOfAServerEnd) {
    ExpectShutdownEnds([](ServerNamedPipe&) { FAIL() << "no client should connect"; },
                       std::nullopt);
    ExpectShutdownEnds([](ServerNamedPipe& pipe) { pipe.ReadMessage(); }, NamedPipe::Broken);
    ExpectShutdownEnds(
        [](ServerNamedPipe& pipe) {
            const std::string large(8 << 20, 'w');
            pipe.Put(large.data(), static_cast<unsigned int>(large.size()));
        },
        NamedPipe::Idle);
}
