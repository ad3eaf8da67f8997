// Reads arbitrary bytes as the packets of a pipe, as a server reads what a
// client sends after the handshake, in pieces of a size the input chooses.
// Every message comes out exactly as a plain walk over the packets finds
// it, or the stream breaks, and nothing is read past the packet buffer.
#include <ZymWindows/NamedPipe.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Pipe = ZymWindows::NamedPipe;
using Bytes = std::vector<unsigned char>;

// A stream over one end of a socket pair.
class FuzzedPipe : public Pipe {
public:
    explicit FuzzedPipe(int fd) : NamedPipe(nullptr) { m_Pipe.Reset(fd); }
};

// More than a socket pair buffers without a reader would block the writer.
constexpr std::size_t LARGEST_INPUT = 65536;

std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The data of each message whose packets are all complete and well formed,
// plus the data of the complete packets of a message that is cut short.
std::vector<Bytes> WalkPackets(const std::uint8_t* data, std::size_t size) {
    std::vector<Bytes> messages(1);
    for (std::size_t at = 0; size - at >= Pipe::PACKET_HEADER_SIZE;) {
        const std::uint32_t length = LittleEndian32(data + at);
        const bool last = data[at + 4] != 0;
        at += Pipe::PACKET_HEADER_SIZE;
        if (length == Pipe::PING_LENGTH)
            continue;
        if (length > Pipe::PACKET_DATA_SIZE || size - at < length)
            break;
        messages.back().insert(messages.back().end(), data + at, data + at + length);
        at += length;
        if (last)
            messages.emplace_back();
    }
    return messages;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > LARGEST_INPUT)
        return 0;
    const unsigned int pieceSize = 1 + (data[0] | (data[1] << 8));
    data += 2;
    size -= 2;
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    if (size > 0 && send(fds[1], data, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size))
        std::abort();
    close(fds[1]);
    const std::vector<Bytes> expected = WalkPackets(data, size);
    FuzzedPipe pipe(fds[0]);
    Bytes piece(pieceSize);
    for (const Bytes& message : expected) {
        Bytes got;
        try {
            pipe.ReadMessage();
            while (const unsigned int n = pipe.Read(piece.data(), pieceSize))
                got.insert(got.end(), piece.begin(), piece.begin() + n);
            pipe.EndMessage();
        } catch (const Pipe::NamedPipeException&) {
            // Broken off: what was delivered must still be the message's start.
            if (got.size() > message.size() || !std::equal(got.begin(), got.end(), message.begin()))
                std::abort();
            return 0;
        }
        if (got != message)
            std::abort();
    }
    return 0;
}
