#include "PipeTestSupport.h"

#include <ZymFile/MemoryBuffer.h>

#include <gtest/gtest.h>

namespace pipetest {

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
          m_ThreadId = CurrentThreadId();
          m_ThreadId.notify_all();
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

long ServerThread::ThreadId() {
    m_ThreadId.wait(0);
    return m_ThreadId;
}

std::unique_ptr<ZymWindows::ClientNamedPipe> Connect(const TestPipe& pipe, bool impersonating,
                                                     const std::u16string& ip) {
    auto client = std::make_unique<ZymWindows::ClientNamedPipe>(pipe.Name(), ".", nullptr);
    client->Initialize(impersonating, ip);
    return client;
}

std::u16string OpenError(const std::string& name, const std::string& host) {
    return ErrorText<ZymWindows::NamedPipe::CannotOpenPipeException>(
        [&] { ZymWindows::ClientNamedPipe client(name, host, nullptr); });
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
