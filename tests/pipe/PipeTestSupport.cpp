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

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char piece[4096];
    for (ssize_t n; (n = read(fd, piece, sizeof piece)) > 0;)
        text.append(piece, static_cast<std::size_t>(n));
    return text;
}

} // namespace

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

ChildProcess::ChildProcess(const std::vector<std::string>& argv, int uid) {
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    m_Pid = fork();
    if (m_Pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const gid_t group = static_cast<gid_t>(uid);
        if (uid >= 0 && (syscall(SYS_setgroups, 1, &group) != 0 ||
                         syscall(SYS_setresgid, group, group, group) != 0 ||
                         syscall(SYS_setresuid, uid, uid, uid) != 0))
            _exit(126);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_Out = out[0];
    m_Err = err[0];
}

ChildProcess::~ChildProcess() {
    if (m_Pid > 0) {
        kill(m_Pid, SIGKILL);
        Wait();
    }
    close(m_Out);
    close(m_Err);
}

std::string ChildProcess::ReadLine() {
    for (;;) {
        const std::size_t end = m_Pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_Pending.substr(0, end);
            m_Pending.erase(0, end + 1);
            return line;
        }
        char piece[4096];
        const ssize_t n = read(m_Out, piece, sizeof piece);
        if (n <= 0)
            return std::exchange(m_Pending, "");
        m_Pending.append(piece, static_cast<std::size_t>(n));
    }
}

void ChildProcess::Signal(int signal) {
    kill(m_Pid, signal);
}

ProcessResult ChildProcess::Wait() {
    ProcessResult result;
    result.out = m_Pending + ReadAll(m_Out);
    result.err = ReadAll(m_Err);
    m_Pending.clear();
    int status = 0;
    waitpid(std::exchange(m_Pid, -1), &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
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
