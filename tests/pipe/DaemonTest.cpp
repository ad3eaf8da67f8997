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

std::string Reversed(const std::string& text) {
    return std::string(text.rbegin(), text.rend());
}

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
                WriteWholeMessage(pipe, Reversed(message));
            }
        } catch (const NamedPipe::MustClosePipeException&) {
            shutDown.Add();
            throw;
        }
    }

    Count connections;
    Count shutDown;
};

std::string Exchange(NamedPipe& client, const std::string& message) {
    WriteWholeMessage(client, message);
    return ReadWholeMessage(client);
}

// A daemon on a pipe of the test's own, by default with a Reverser.
class Daemon : public ::testing::Test {
protected:
    void Start(ZymThread::Function* function, ZymThread::EventSemaphore* shutdown = nullptr) {
        m_Daemon = new NamedPipeDaemon(m_Pipe.Name(), function, shutdown);
        m_Pipe.WaitUntilServed();
    }
    void Start() { Start(m_Reverser.Get()); }

    const TestPipe m_Pipe{"daemon"};
    Zym::SmartPtr<Reverser> m_Reverser = new Reverser;
    Zym::SmartPtr<NamedPipeDaemon> m_Daemon;
};

} // namespace

TEST_F(Daemon, ServesManySimultaneousClients) {
    Start();
    constexpr int CLIENTS = 48;
    constexpr int MESSAGES = 20;
    std::atomic<int> correct{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < CLIENTS; ++c)
        clients.emplace_back([&, c] {
            std::mt19937 random(static_cast<unsigned int>(c));
            const auto client = Connect(m_Pipe);
            for (int m = 0; m < MESSAGES; ++m) {
                // Sizes at and around the packet size first, then any.
                static constexpr std::size_t EDGES[] = {0, 1, 32767, 32768, 32769, 65536, 200001};
                std::string message(m < std::ssize(EDGES) ? EDGES[m] : random() % 70000, '\0');
                for (char& ch : message)
                    ch = static_cast<char>(random());
                if (Exchange(*client, message) == Reversed(message))
                    ++correct;
            }
        });
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(correct, CLIENTS * MESSAGES);
    EXPECT_EQ(m_Reverser->connections.Value(), CLIENTS);
}

TEST_F(Daemon, DropsFailedClientsAndServesTheNext) {
    Start();
    {
        RawPeer wrongMagic(m_Pipe);
        wrongMagic.Send(UInt32(0xDEADBEEF));
        RawPeer gone(m_Pipe);
    }
    // On Windows the name has no instance between two (after a failed
    // connection, before the next).
    m_Pipe.WaitUntilServed();
    // A client function that throws a pipe exception ends its client only.
    const auto client = Connect(m_Pipe);
    EXPECT_EQ(Exchange(*client, "abc"), "cba");
    WriteWholeMessage(*client, "throw");
    EXPECT_EQ(Exchange(*Connect(m_Pipe), "still serving"), "gnivres llits");
    // The listener let go of the failed client's pipe when it took the next
    // one, and the pipe closed.
    EXPECT_THROW(ReadWholeMessage(*client), NamedPipe::BrokenPipeException);
}

TEST_F(Daemon, TheApplicationsShutdownEventEndsEveryClient) {
    ZymThread::EventSemaphore shutdown(true, false);
    Start(m_Reverser.Get(), &shutdown);
    std::vector<std::unique_ptr<ClientNamedPipe>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(Connect(m_Pipe));
        EXPECT_EQ(Exchange(*clients.back(), "ping"), "gnip");
    }
    shutdown.Set();
    m_Reverser->shutDown.WaitFor(3);
    m_Daemon.Reset();
    for (auto& client : clients)
        EXPECT_THROW(ReadWholeMessage(*client), NamedPipe::BrokenPipeException);
}

// The daemon does not wait for client functions: one that is blocked on
// something other than its pipe does not hold up the daemon's destruction,
// and finishes later with everything it uses still alive.
TEST_F(Daemon, IsDestroyedWhileAClientFunctionIsBlocked) {
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
    Zym::SmartPtr<Blocked> blocked = new Blocked;
    std::unique_lock closed(blocked->gate);
    Start(blocked.Get());
    const auto client = Connect(m_Pipe);
    blocked->entered.Wait();
    m_Daemon.Reset();
    closed.unlock();
    EXPECT_EQ(ReadWholeMessage(*client), "after the daemon");
    blocked->finished.Wait();
    EXPECT_TRUE(blocked->waitEnded);
}

// A peer that connects and never completes the handshake is dropped after
// the handshake limit; the client behind it is served.
TEST_F(Daemon, ASilentPeerHoldsUpTheNextClientOnlyUntilTheHandshakeLimit) {
    const zymtest::ScopedEnvironment handshakeLimit("ZYM_PIPE_HANDSHAKE_MS", "200");
    Start();
    RawPeer silent(m_Pipe);
    EXPECT_EQ(Exchange(*Connect(m_Pipe), "served"), "devres");
    // The silent peer got the server's magic word, then the hang-up.
    EXPECT_EQ(silent.Receive(4), UInt32(NamedPipe::MAGIC_WORD));
    EXPECT_THROW(silent.Receive(1), std::runtime_error);
}
