#include "PipeTestSupport.h"

#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeDaemon.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <random>
#include <stdexcept>

using namespace pipetest;
using ZymWindows::ClientNamedPipe;
using ZymWindows::NamedPipe;
using ZymWindows::NamedPipeDaemon;
using ZymWindows::ServerNamedPipe;

namespace {

// A count that a thread can wait to reach. (A condition variable: the
// waits of std::atomic can miss a wake-up in libstdc++ 12 on Windows.)
class Count {
public:
    void Add() {
        const std::lock_guard hold(m_Lock);
        ++m_Value;
        m_Changed.notify_all();
    }
    int Value() {
        const std::lock_guard hold(m_Lock);
        return m_Value;
    }
    void WaitFor(int value) {
        std::unique_lock hold(m_Lock);
        m_Changed.wait(hold, [&] { return m_Value >= value; });
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    int m_Value = 0;
};

// The client function of the tests: answers every message with its bytes
// reversed, counting connections and how each client ended.
class Reverser : public ZymThread::Function {
public:
    void* Call(void* argument) override {
        auto& pipe = *static_cast<ServerNamedPipe*>(argument);
        connections.Add();
        try {
            for (;;) {
                std::string message = ReadWholeMessage(pipe);
                if (message == "throw")
                    throw NamedPipe::BrokenPipeException(u"the client function gave up");
                WriteWholeMessage(pipe, std::string(message.rbegin(), message.rend()));
            }
        } catch (const NamedPipe::MustClosePipeException&) {
            shutDown.Add();
            throw;
        }
    }

    Count connections;
    Count shutDown;
};

std::string Reversed(std::string text) {
    return std::string(text.rbegin(), text.rend());
}

std::string Exchange(ClientNamedPipe& client, const std::string& message) {
    WriteWholeMessage(client, message);
    return ReadWholeMessage(client);
}

} // namespace

TEST(Daemon, ServesManySimultaneousClients) {
    const TestPipe pipe("daemon");
    Zym::SmartPtr<Reverser> reverser = new Reverser;
    Zym::SmartPtr<NamedPipeDaemon> daemon =
        new NamedPipeDaemon(pipe.Name(), reverser.Get(), nullptr);
    pipe.WaitUntilServed();
    constexpr int CLIENTS = 48;
    constexpr int MESSAGES = 20;
    std::atomic<int> correct{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < CLIENTS; ++c)
        clients.emplace_back([&, c] {
            std::mt19937 random(static_cast<unsigned int>(c));
            ClientNamedPipe client(pipe.Name(), ".", nullptr);
            client.Initialize(false, u"");
            for (int m = 0; m < MESSAGES; ++m) {
                // Sizes at and around the packet size first, then any.
                static constexpr std::size_t EDGES[] = {0, 1, 32767, 32768, 32769, 65536, 200001};
                std::string message(m < std::ssize(EDGES) ? EDGES[m] : random() % 70000, '\0');
                for (char& ch : message)
                    ch = static_cast<char>(random());
                if (Exchange(client, message) == Reversed(message))
                    ++correct;
            }
        });
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(correct, CLIENTS * MESSAGES);
    EXPECT_EQ(reverser->connections.Value(), CLIENTS);
}

TEST(Daemon, DropsFailedClientsAndServesTheNext) {
    const TestPipe pipe("daemon");
    Zym::SmartPtr<Reverser> reverser = new Reverser;
    Zym::SmartPtr<NamedPipeDaemon> daemon =
        new NamedPipeDaemon(pipe.Name(), reverser.Get(), nullptr);
    pipe.WaitUntilServed();
    {
        RawPeer wrongMagic(pipe);
        wrongMagic.Send(UInt32(0xDEADBEEF));
        RawPeer gone(pipe);
    }
    // On Windows the name has no instance between two (after a failed
    // connection, before the next).
    pipe.WaitUntilServed();
    // A client function that throws a pipe exception ends its client only.
    ClientNamedPipe client(pipe.Name(), ".", nullptr);
    client.Initialize(false, u"");
    EXPECT_EQ(Exchange(client, "abc"), "cba");
    WriteWholeMessage(client, "throw");
    ClientNamedPipe next(pipe.Name(), ".", nullptr);
    next.Initialize(false, u"");
    EXPECT_EQ(Exchange(next, "still serving"), "gnivres llits");
    // The listener let go of the failed client's pipe when it took the next
    // one, and the pipe closed.
    EXPECT_THROW(ReadWholeMessage(client), NamedPipe::BrokenPipeException);
}

TEST(Daemon, TheApplicationsShutdownEventEndsEveryClient) {
    const TestPipe pipe("daemon");
    ZymThread::EventSemaphore shutdown(true, false);
    Zym::SmartPtr<Reverser> reverser = new Reverser;
    Zym::SmartPtr<NamedPipeDaemon> daemon =
        new NamedPipeDaemon(pipe.Name(), reverser.Get(), &shutdown);
    pipe.WaitUntilServed();
    std::vector<std::unique_ptr<ClientNamedPipe>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<ClientNamedPipe>(pipe.Name(), ".", nullptr));
        clients.back()->Initialize(false, u"");
        EXPECT_EQ(Exchange(*clients.back(), "ping"), "gnip");
    }
    shutdown.Set();
    reverser->shutDown.WaitFor(3);
    daemon.Reset();
    for (auto& client : clients)
        EXPECT_THROW(ReadWholeMessage(*client), NamedPipe::BrokenPipeException);
}

TEST(Daemon, ClientsBeyondTheInstanceLimitWaitForAFreeInstance) {
    const TestPipe pipe("daemon");
    Zym::SmartPtr<Reverser> reverser = new Reverser;
    Zym::SmartPtr<NamedPipeDaemon> daemon =
        new NamedPipeDaemon(pipe.Name(), reverser.Get(), nullptr);
    pipe.WaitUntilServed();
    std::vector<std::unique_ptr<ClientNamedPipe>> held;
    for (int i = 0; i < 255; ++i) {
        held.push_back(std::make_unique<ClientNamedPipe>(pipe.Name(), ".", nullptr));
        held.back()->Initialize(false, u"");
    }
    EXPECT_EQ(Exchange(*held.back(), "255"), "552");
    std::string lateReply;
    std::thread late([&] {
        ClientNamedPipe client(pipe.Name(), ".", nullptr);
        client.Initialize(false, u"");
        lateReply = Exchange(client, "256");
    });
    held.front().reset();
    late.join();
    EXPECT_EQ(lateReply, "652");
    // Every client, the late one included, got a thread of its own.
    reverser->connections.WaitFor(256);
}

// The daemon does not wait for client functions: one that is blocked on
// something other than its pipe does not hold up the daemon's destruction,
// and finishes later with everything it uses still alive.
TEST(Daemon, IsDestroyedWhileAClientFunctionIsBlocked) {
    struct Blocked : ZymThread::Function {
        void* Call(void* argument) override {
            auto& pipe = *static_cast<ServerNamedPipe*>(argument);
            entered.Set();
            const std::lock_guard hold(gate);
            WriteWholeMessage(pipe, "after the daemon");
            // The daemon signalled its stop event, the pipe's shutdown
            // event, when it went: a wait for the client ends at once.
            try {
                pipe.ReadMessage();
            } catch (const NamedPipe::MustClosePipeException&) {
                waitEnded = true;
            }
            finished.Set();
            return nullptr;
        }
        std::mutex gate;
        bool waitEnded = false;
        ZymThread::EventSemaphore entered{true, false};
        ZymThread::EventSemaphore finished{true, false};
    };
    const TestPipe pipe("daemon");
    Zym::SmartPtr<Blocked> blocked = new Blocked;
    std::unique_lock closed(blocked->gate);
    Zym::SmartPtr<NamedPipeDaemon> daemon =
        new NamedPipeDaemon(pipe.Name(), blocked.Get(), nullptr);
    pipe.WaitUntilServed();
    ClientNamedPipe client(pipe.Name(), ".", nullptr);
    client.Initialize(false, u"");
    blocked->entered.Wait();
    daemon.Reset();
    closed.unlock();
    EXPECT_EQ(ReadWholeMessage(client), "after the daemon");
    blocked->finished.Wait();
    EXPECT_TRUE(blocked->waitEnded);
}

// A peer that connects and never completes the handshake is dropped after
// the handshake limit; the client behind it is served.
TEST(Daemon, ASilentPeerHoldsUpTheNextClientOnlyUntilTheHandshakeLimit) {
    const TestPipe pipe("daemon");
    const zymtest::ScopedEnvironment handshakeLimit("ZYM_PIPE_HANDSHAKE_MS", "200");
    Zym::SmartPtr<Reverser> reverser = new Reverser;
    Zym::SmartPtr<NamedPipeDaemon> daemon =
        new NamedPipeDaemon(pipe.Name(), reverser.Get(), nullptr);
    pipe.WaitUntilServed();
    RawPeer silent(pipe);
    ClientNamedPipe client(pipe.Name(), ".", nullptr);
    client.Initialize(false, u"");
    EXPECT_EQ(Exchange(client, "served"), "devres");
    // The silent peer got the server's magic word, then the hang-up.
    EXPECT_EQ(silent.Receive(4), UInt32(NamedPipe::MAGIC_WORD));
    EXPECT_THROW(silent.Receive(1), std::runtime_error);
}
