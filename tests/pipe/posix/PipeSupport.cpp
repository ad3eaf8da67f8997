// The test pipes over the Linux side's sockets.
#include "PosixPipeSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace pipetest {

TestPipe::TestPipe(const std::string& base) : m_Place(new Place), m_Name(base) {
    // Open to every account, as the default directory is, so that clients
    // running under other users can reach the sockets.
    chmod(m_Place->directory.Path().c_str(), 01777);
    setenv("ZYM_PIPE_DIR", m_Place->directory.Path().c_str(), 1);
}

TestPipe::~TestPipe() {
    unsetenv("ZYM_PIPE_DIR");
}

void TestPipe::WaitUntilServed() const {
    WaitForPipeSocket(*this, m_Name);
}

std::string SocketOf(const TestPipe& pipe) {
    return SocketOf(pipe, pipe.Name());
}

std::string SocketOf(const TestPipe& pipe, const std::string& name) {
    return pipe.GetPlace().directory.Path().string() + "/" + name;
}

sockaddr_un AddressOf(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    return address;
}

void WaitForPipeSocket(const TestPipe& pipe, const std::string& name, ino_t replacing) {
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(
        inotify_add_watch(watch, pipe.GetPlace().directory.Path().c_str(), IN_CREATE | IN_MOVED_TO),
        0);
    struct stat file {};
    while (stat(SocketOf(pipe, name).c_str(), &file) != 0 || file.st_ino == replacing) {
        alignas(inotify_event) char events[4096];
        ASSERT_GT(read(watch, events, sizeof events), 0);
    }
    close(watch);
}

void WaitUntilBlockedInPoll(long tid) {
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

long CurrentThreadId() {
    return syscall(SYS_gettid);
}

struct RawPeer::Connection {
    int fd = -1;
};

RawPeer::RawPeer(const TestPipe& pipe) : m_Connection(new Connection) {
    m_Connection->fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = AddressOf(SocketOf(pipe));
    if (connect(m_Connection->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
        0) {
        const int error = errno;
        Close();
        throw std::runtime_error("raw connect failed: " + std::string(std::strerror(error)));
    }
}

RawPeer::~RawPeer() {
    Close();
}

void RawPeer::Send(const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            send(m_Connection->fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("raw send failed");
        done += static_cast<std::size_t>(n);
    }
}

std::vector<unsigned char> RawPeer::Receive(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = recv(m_Connection->fd, bytes.data() + done, size - done, 0);
        if (n <= 0)
            throw std::runtime_error("raw receive ended early");
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

void RawPeer::Close() {
    if (m_Connection->fd >= 0)
        close(std::exchange(m_Connection->fd, -1));
}

} // namespace pipetest
