#include "ZymWindows/NamedPipe.h"

#include "ZymWindows/ZymWindowsMsg-I.h"
#include "pipe/PipePlatform.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace ZymWindows {

namespace {

constexpr const char* SOURCE_FILE = "ZymWindows/src/ZymNamedPipe";
constexpr unsigned int MAX_WRITE_PIECE = 65535;

void EncodeHeader(unsigned char* header, std::uint32_t length, bool last) {
    for (int i = 0; i < 4; ++i)
        header[i] = static_cast<unsigned char>(length >> (8 * i));
    header[4] = last ? 1 : 0;
    header[5] = header[6] = header[7] = 0;
}

std::uint64_t SteadyNowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// What is left until `deadlineMs` (none: all ones), as a transfer's time
// limit.
unsigned long TimeLeft(std::uint64_t deadlineMs) {
    if (deadlineMs == ~std::uint64_t{0})
        return Platform::NO_TIME_LIMIT;
    const std::uint64_t now = SteadyNowMs();
    return now >= deadlineMs ? 0 : static_cast<unsigned long>(deadlineMs - now);
}

// Writes until every piece has gone; the pieces are used up on the way.
// The first failure's code ends it.
unsigned long Send(const Zym::Handle& pipe, ZymThread::EventSemaphore* shutdown,
                   std::uint64_t deadlineMs, Platform::PipeWritePiece* pieces, unsigned int count) {
    for (unsigned int done = 0;;) {
        for (; count > 0 && done >= pieces->size; ++pieces, --count)
            done -= pieces->size;
        if (count == 0)
            return Zym::ERROR_SUCCESS;
        pieces->data = static_cast<const unsigned char*>(pieces->data) + done;
        pieces->size -= done;
        if (const unsigned long error =
                Platform::WritePipe(pipe, pieces, count, shutdown, done, TimeLeft(deadlineMs));
            error != Zym::ERROR_SUCCESS)
            return error;
    }
}

} // namespace

NamedPipe::NamedPipeException::~NamedPipeException() = default;
NamedPipe::BrokenPipeException::~BrokenPipeException() = default;
NamedPipe::MustClosePipeException::~MustClosePipeException() = default;
NamedPipe::CannotOpenPipeException::~CannotOpenPipeException() = default;

NamedPipe::NamedPipe(ZymThread::EventSemaphore* shutdownEvent) : m_ShutdownEvent(shutdownEvent) {
    EncodeHeader(m_Packet, 0, false);
}

NamedPipe::~NamedPipe() = default;

void NamedPipe::ThrowDisconnected() const {
    throw BrokenPipeException(
        new Zym::MessageInfo(MSG_MODULE, MSG_PIPE_DISCONNECTED, SOURCE_FILE, __LINE__));
}

// A failed raw transfer leaves the stream broken; the shutdown event is
// reported apart from every other failure.
void NamedPipe::ThrowTransferFailure(unsigned long error) const {
    m_State = Broken;
    if (error == Zym::ERROR_OPERATION_ABORTED)
        throw MustClosePipeException();
    throw BrokenPipeException(Zym::GetLastErrorMessage(error));
}

void NamedPipe::SendRaw(const void* data, unsigned int size) const {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        Platform::PipeWritePiece piece{bytes, std::min(size, MAX_WRITE_PIECE)};
        bytes += piece.size;
        size -= piece.size;
        if (const unsigned long error = Send(m_Pipe, m_ShutdownEvent, m_DeadlineMs, &piece, 1);
            error != Zym::ERROR_SUCCESS)
            ThrowTransferFailure(error);
    }
}

void NamedPipe::SendPacket(const void* data, unsigned int length, bool last) {
    EncodeHeader(m_Packet, length, last);
    Platform::PipeWritePiece pieces[] = {{m_Packet, PACKET_HEADER_SIZE}, {data, length}};
    if (const unsigned long error = Send(m_Pipe, m_ShutdownEvent, m_DeadlineMs, pieces, 2);
        error != Zym::ERROR_SUCCESS)
        ThrowTransferFailure(error);
}

void NamedPipe::WriteData(const void* data, unsigned int size) {
    SendRaw(data, size);
}

void NamedPipe::ReadData(void* data, unsigned int size) {
    auto* bytes = static_cast<unsigned char*>(data);
    const unsigned int taken = std::min(size, m_ReadAheadEnd - m_ReadAheadStart);
    if (taken > 0) {
        std::memcpy(bytes, m_ReadAhead + m_ReadAheadStart, taken);
        m_ReadAheadStart += taken;
        bytes += taken;
        size -= taken;
    }
    // The read-ahead is empty from here on; it takes whatever has already
    // arrived after the bytes asked for.
    while (size > 0) {
        Platform::PipeReadPiece pieces[] = {{bytes, size}, {m_ReadAhead, READ_AHEAD_SIZE}};
        unsigned int done = 0;
        if (const unsigned long error = Platform::ReadPipe(m_Pipe, pieces, 2, size, m_ShutdownEvent,
                                                           done, TimeLeft(m_DeadlineMs));
            error != Zym::ERROR_SUCCESS)
            ThrowTransferFailure(error);
        if (done > size) {
            m_ReadAheadStart = 0;
            m_ReadAheadEnd = done - size;
            done = size;
        }
        bytes += done;
        size -= done;
    }
}

void NamedPipe::LimitTime(unsigned long ms) {
    m_DeadlineMs = ms == NO_TIME_LIMIT ? NO_DEADLINE : SteadyNowMs() + ms;
}

void NamedPipe::WriteUInt32(std::uint32_t value) {
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    WriteData(bytes, sizeof bytes);
}

std::uint32_t NamedPipe::ReadUInt32() {
    unsigned char bytes[4];
    ReadData(bytes, sizeof bytes);
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void NamedPipe::ExchangeMagicWord() {
    WriteUInt32(MAGIC_WORD);
    if (ReadUInt32() != MAGIC_WORD) {
        m_State = Broken;
        throw BrokenPipeException();
    }
}

unsigned int NamedPipe::PacketLength() const noexcept {
    return m_Packet[0] | (m_Packet[1] << 8) | (m_Packet[2] << 16) |
           (static_cast<unsigned int>(m_Packet[3]) << 24);
}

void NamedPipe::WritePacket(bool last) {
    const unsigned int length = m_Position;
    m_Position = 0;
    SendPacket(m_Packet + PACKET_HEADER_SIZE, length, last);
}

void NamedPipe::ReadPacketHeader() {
    do
        ReadData(m_Packet, PACKET_HEADER_SIZE);
    while (PacketLength() == PING_LENGTH);
    if (PacketLength() > PACKET_DATA_SIZE) {
        // The peer does not speak this protocol: nothing after this header
        // can be trusted, so the stream stays broken.
        m_State = Broken;
        m_Garbled = true;
        throw BrokenPipeException(u"The other end sent a packet longer than 32768 bytes.");
    }
}

void NamedPipe::ReadPacket() {
    ReadPacketHeader();
    ReadData(m_Packet + PACKET_HEADER_SIZE, PacketLength());
    m_Position = 0;
}

void NamedPipe::AbandonMessage() noexcept {
    if (!m_Garbled)
        m_State = Idle;
    m_Position = 0;
}

unsigned int NamedPipe::vPut(const void* data, unsigned int n) {
    if (m_State == Broken)
        ThrowDisconnected();
    if (m_State == Idle)
        m_State = Writing;
    const auto* bytes = static_cast<const unsigned char*>(data);
    try {
        for (unsigned int left = n; left > 0;) {
            if (m_Position == 0 && left >= PACKET_DATA_SIZE) {
                // A whole packet leaves straight from the caller's memory.
                SendPacket(bytes, PACKET_DATA_SIZE, false);
                bytes += PACKET_DATA_SIZE;
                left -= PACKET_DATA_SIZE;
                continue;
            }
            const unsigned int k = std::min(left, PACKET_DATA_SIZE - m_Position);
            std::memcpy(m_Packet + PACKET_HEADER_SIZE + m_Position, bytes, k);
            m_Position += k;
            bytes += k;
            left -= k;
            if (m_Position == PACKET_DATA_SIZE)
                WritePacket(false);
        }
    } catch (const NamedPipeException&) {
        AbandonMessage();
        throw;
    }
    return n;
}

void NamedPipe::vFlush() {
    if (m_State == Broken)
        ThrowDisconnected();
    if (m_State == Idle)
        m_State = Writing;
    try {
        if (m_Position > 0)
            WritePacket(false);
    } catch (const NamedPipeException&) {
        AbandonMessage();
        throw;
    }
}

void NamedPipe::EndMessage() {
    if (m_State == Broken)
        ThrowDisconnected();
    try {
        if (m_State == Reading) {
            while (!IsLastPacket())
                ReadPacket();
        } else {
            WritePacket(true);
        }
    } catch (const NamedPipeException&) {
        AbandonMessage();
        throw;
    }
    m_State = Idle;
    m_Position = 0;
}

unsigned int NamedPipe::vGet(void* data, unsigned int n) {
    if (m_State == Broken)
        ThrowDisconnected();
    if (m_State == Idle) {
        m_State = Reading;
        ReadPacket();
    }
    auto* bytes = static_cast<unsigned char*>(data);
    unsigned int done = 0;
    try {
        for (;;) {
            const unsigned int k = std::min(n - done, PacketLength() - m_Position);
            if (k > 0) {
                std::memcpy(bytes + done, m_Packet + PACKET_HEADER_SIZE + m_Position, k);
                m_Position += k;
                done += k;
            }
            if (done == n || IsLastPacket())
                return done;
            ReadPacketHeader();
            if (n - done >= PacketLength()) {
                // Wanted whole: the data goes straight to the caller.
                ReadData(bytes + done, PacketLength());
                done += PacketLength();
                m_Position = PacketLength();
            } else {
                ReadData(m_Packet + PACKET_HEADER_SIZE, PacketLength());
                m_Position = 0;
            }
        }
    } catch (const NamedPipeException&) {
        AbandonMessage();
        throw;
    }
}

void NamedPipe::ReadMessage() {
    vGet(nullptr, 0);
}

bool NamedPipe::vEndOfFile() const {
    return IsLastPacket() && m_Position == PacketLength();
}

void NamedPipe::Ping() const {
    if (m_State == Broken)
        ThrowDisconnected();
    unsigned char header[PACKET_HEADER_SIZE];
    EncodeHeader(header, PING_LENGTH, false);
    SendRaw(header, sizeof header);
}

bool NamedPipe::IsConnected() const {
    if (m_State == Broken)
        return false;
    try {
        Ping();
        return true;
    } catch (...) {
        m_State = Broken;
        return false;
    }
}

} // namespace ZymWindows
