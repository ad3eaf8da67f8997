#pragma once

#include "TestFiles.h"

#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeServer.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace pipetest {

// A pipe name of one test's own, out of every other test's way: on Linux
// in a fresh pipe directory (ZYM_PIPE_DIR), on Windows a name unique on
// the system. Gone with the object.
class TestPipe {
public:
    explicit TestPipe(const std::string& base);
    ~TestPipe();
    TestPipe(const TestPipe&) = delete;
    TestPipe& operator=(const TestPipe&) = delete;

    const std::string& Name() const { return m_Name; }
    // Blocks until a server has created the pipe (on Windows: until one of
    // its instances is free).
    void WaitUntilServed() const;

    struct Place;
    const Place& GetPlace() const { return *m_Place; }

private:
    std::unique_ptr<Place> m_Place;
    std::string m_Name;
};

// A peer that speaks raw bytes on a pipe, for what a well-behaved client
// never sends.
class RawPeer {
public:
    explicit RawPeer(const TestPipe& pipe);
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    void Send(const std::vector<unsigned char>& bytes);
    // Exactly `size` bytes; std::runtime_error when the pipe ends first.
    std::vector<unsigned char> Receive(std::size_t size);
    void Close();

    // The client side of the handshake, without impersonation.
    void Handshake(const std::u16string& declaredIP = u"127.0.0.1");

    struct Connection;

private:
    std::unique_ptr<Connection> m_Connection;
};

std::vector<unsigned char> UInt32(std::uint32_t value);
std::vector<unsigned char> PacketHeader(std::uint32_t length, bool last);
std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts);
// The bytes of an identity block as the client writes it.
std::vector<unsigned char> IdentityBlock(const std::u16string& declaredIP, bool impersonating,
                                         const std::vector<ZymSecurity::NetworkID>& claimed = {},
                                         const std::u16string& claimedIP = u"");

// The system's number of the calling thread.
long CurrentThreadId();

// One server end run on a thread of its own: Initialize on pipe `name`,
// then `body`. Join rethrows what either raised.
class ServerThread {
public:
    using Body = std::function<void(ZymWindows::ServerNamedPipe&)>;
    ServerThread(const std::string& name, Body body, ZymThread::EventSemaphore* shutdown = nullptr);
    ~ServerThread();
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    void Join();
    // The system's number of the thread, once it runs.
    long ThreadId();

private:
    std::exception_ptr m_Error;
    std::atomic<long> m_ThreadId{0};
    // Last: the thread starts when it is built and uses the members above.
    std::thread m_Thread;
};

// A client end on the pipe, past its handshake.
std::unique_ptr<ZymWindows::ClientNamedPipe>
Connect(const TestPipe& pipe, bool impersonating = false, const std::u16string& ip = u"");

// The text of the `Exception` that `call` raised, or "no exception".
template <class Exception, class Call> std::u16string ErrorText(Call call) {
    try {
        call();
    } catch (const Exception& error) {
        return error.What();
    }
    return u"no exception";
}

// The text with which opening pipe `name` on `host` failed.
std::u16string OpenError(const std::string& name, const std::string& host = ".");

// Reads one whole message from a pipe end.
std::string ReadWholeMessage(ZymWindows::NamedPipe& pipe);
void WriteWholeMessage(ZymWindows::NamedPipe& pipe, const std::string& message);

} // namespace pipetest
