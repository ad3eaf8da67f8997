#pragma once

#include "TestFiles.h"

#include <ZymWindows/NamedPipeServer.h>

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace pipetest {

// A fresh pipe directory in ZYM_PIPE_DIR for one test, removed afterwards.
class ScopedPipeDirectory {
public:
    ScopedPipeDirectory();
    ~ScopedPipeDirectory();
    std::string Path() const { return m_Directory.Path().string(); }
    std::string SocketOf(const std::string& name) const { return Path() + "/" + name; }

private:
    zymtest::ScratchDirectory m_Directory;
};

// Blocks until the socket of pipe `name` exists in the test's directory
// (and is not the file `replacing`, when given).
void WaitForPipeSocket(const ScopedPipeDirectory& directory, const std::string& name,
                       ino_t replacing = 0);

// Blocks until thread `tid` of this process sleeps in poll.
void WaitUntilBlockedInPoll(pid_t tid);

// A peer that speaks raw bytes on a pipe's socket, for what a well-behaved
// client never sends.
class RawPeer {
public:
    explicit RawPeer(const std::string& socketPath);
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    void Send(const std::vector<unsigned char>& bytes);
    std::vector<unsigned char> Receive(std::size_t size);
    void Close();

    // The client side of the handshake, without impersonation.
    void Handshake(const std::u16string& declaredIP = u"127.0.0.1");

private:
    int m_Fd;
};

std::vector<unsigned char> UInt32(std::uint32_t value);
std::vector<unsigned char> PacketHeader(std::uint32_t length, bool last);
std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts);
// The bytes of an identity block as the client writes it.
std::vector<unsigned char> IdentityBlock(const std::u16string& declaredIP, bool impersonating,
                                         const std::vector<ZymSecurity::NetworkID>& claimed = {},
                                         const std::u16string& claimedIP = u"");

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
    // The thread's id, once it runs.
    pid_t Tid();

private:
    std::exception_ptr m_Error;
    std::atomic<pid_t> m_Tid{0};
    // Last: the thread starts when it is built and uses the members above.
    std::thread m_Thread;
};

// Reads one whole message from a pipe end.
std::string ReadWholeMessage(ZymWindows::NamedPipe& pipe);
void WriteWholeMessage(ZymWindows::NamedPipe& pipe, const std::string& message);

} // namespace pipetest
