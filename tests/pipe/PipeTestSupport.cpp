// Over the Linux side's sockets (raw peers, socket files, kernel
// credentials); the Windows cases are in win32/.
#ifndef _WIN32
#include "PipeTestSupport.h"

#include <ZymFile/MemoryBuffer.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pipetest {

ScopedPipeDirectory::ScopedPipeDirectory() {
    // Open to every account, as the default directory is, so that clients
    // running under other users can reach the sockets.
    chmod(Path().c_str(), 01777);
    setenv("ZYM_PIPE_DIR", Path().c_str(), 1);
}

ScopedPipeDirectory::~ScopedPipeDirectory() {
    unsetenv("ZYM_PIPE_DIR");
}

void WaitForPipeSocket(const ScopedPipeDirectory& directory, const std::string& name,
                       ino_t replacing) {
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, directory.Path().c_str(), IN_CREATE | IN_MOVED_TO), 0);
    struct stat file {};
    while (stat(directory.SocketOf(name).c_str(), &file) != 0 || file.st_ino == replacing) {
        alignas(inotify_event) char events[4096];
        ASSERT_GT(read(watch, events, sizeof events), 0);
    }
    close(watch);
}

void WaitUntilBlockedInPoll(pid_t tid) {
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/syscall";
    for (;;) {
        std::ifstream syscallFile(path);
        long number = -1;
        syscallFile >> number;
        if (number == SYS_poll || number == SYS_ppoll)
            return;
        std::this_thread::yield();
    }
}

RawPeer::RawPeer(const std::string& socketPath) : m_Fd(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    if (connect(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("raw connect failed: " + std::string(std::strerror(errno)));
}

RawPeer::~RawPeer() {
    Close();
}

void RawPeer::Send(const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(m_Fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("raw send failed");
        done += static_cast<std::size_t>(n);
    }
}

std::vector<unsigned char> RawPeer::Receive(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = recv(m_Fd, bytes.data() + done, size - done, 0);
        if (n <= 0)
            throw std::runtime_error("raw receive ended early");
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

void RawPeer::Close() {
    if (m_Fd >= 0)
        close(std::exchange(m_Fd, -1));
}

void RawPeer::Handshake(const std::u16string& declaredIP) {
    Send(UInt32(ZymWindows::NamedPipe::MAGIC_WORD));
    ASSERT_EQ(Receive(4), UInt32(ZymWindows::NamedPipe::MAGIC_WORD));
    const std::vector<unsigned char> block = IdentityBlock(declaredIP, false);
    Send(Concat({UInt32(static_cast<std::uint32_t>(block.size())), block}));
}

std::vector<unsigned char> UInt32(std::uint32_t value) {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

std::vector<unsigned char> PacketHeader(std::uint32_t length, bool last) {
    return Concat({UInt32(length), {static_cast<unsigned char>(last), 0, 0, 0}});
}

std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<unsigned char> IdentityBlock(const std::u16string& declaredIP, bool impersonating,
                                         const std::vector<ZymSecurity::NetworkID>& claimed,
                                         const std::u16string& claimedIP) {
    ZymFile::MemoryBuffer buffer(256);
    Zym::BinaryStream stream(buffer);
    stream << declaredIP << impersonating;
    if (impersonating) {
        // The user first, then the count and the groups.
        stream << claimed.front() << static_cast<std::uint32_t>(claimed.size() - 1);
        for (std::size_t i = 1; i < claimed.size(); ++i)
            stream << claimed[i];
        stream << claimedIP;
    }
    return std::vector<unsigned char>(buffer.Data(), buffer.Data() + buffer.Size());
}

ServerThread::ServerThread(const std::string& name, Body body, ZymThread::EventSemaphore* shutdown)
    : m_Thread([this, name, body = std::move(body), shutdown] {
          m_Tid = static_cast<pid_t>(syscall(SYS_gettid));
          m_Tid.notify_all();
          try {
              ZymWindows::ServerNamedPipe pipe(shutdown);
              pipe.Initialize(name);
              body(pipe);
          } catch (...) {
              m_Error = std::current_exception();
          }
      }) {}

ServerThread::~ServerThread() {
    if (m_Thread.joinable())
        m_Thread.join();
}

void ServerThread::Join() {
    m_Thread.join();
    if (m_Error)
        std::rethrow_exception(m_Error);
}

pid_t ServerThread::Tid() {
    m_Tid.wait(0);
    return m_Tid;
}

std::string ReadWholeMessage(ZymWindows::NamedPipe& pipe) {
    std::string message;
    char piece[8192];
    pipe.ReadMessage();
    while (const unsigned int n = pipe.Read(piece, sizeof piece))
        message.append(piece, n);
    pipe.EndMessage();
    return message;
}

void WriteWholeMessage(ZymWindows::NamedPipe& pipe, const std::string& message) {
    pipe.Put(message.data(), static_cast<unsigned int>(message.size()));
    pipe.EndMessage();
}

} // namespace pipetest

#endif
