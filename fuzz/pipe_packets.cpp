// Reads arbitrary bytes as the packets of a pipe, as a server reads what a
// client sends after the handshake: messages come out whole or the stream
// breaks, and nothing is read past the packet buffer.
#include <ZymWindows/NamedPipe.h>

#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A stream over one end of a socket pair.
class FuzzedPipe : public ZymWindows::NamedPipe {
public:
    explicit FuzzedPipe(int fd) : NamedPipe(nullptr) { m_Pipe.Reset(fd); }
};

// More than a socket pair buffers without a reader would block the writer.
constexpr std::size_t LARGEST_INPUT = 65536;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (size > LARGEST_INPUT || socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    if (size > 0 && send(fds[1], data, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size))
        std::abort();
    close(fds[1]);
    FuzzedPipe pipe(fds[0]);
    std::vector<unsigned char> piece(ZymWindows::NamedPipe::PACKET_DATA_SIZE);
    std::size_t delivered = 0;
    try {
        for (;;) {
            pipe.ReadMessage();
            while (const unsigned int n =
                       pipe.Read(piece.data(), static_cast<unsigned int>(piece.size())))
                delivered += n;
            pipe.EndMessage();
        }
    } catch (const ZymWindows::NamedPipe::NamedPipeException&) {
    }
    // Every data byte delivered was in the input.
    if (delivered > size)
        std::abort();
    return 0;
}
