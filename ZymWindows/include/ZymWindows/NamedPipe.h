#pragma once

#include <ZymWindows/Export.h>

#include <Zym/BinaryStreamBuf.h>
#include <Zym/Exception.h>
#include <Zym/Handle.h>

#include <cstdint>

namespace ZymThread {
class EventSemaphore;
}

namespace ZymWindows {

// A message-oriented binary stream over one end of a named pipe. A message
// travels as packets of at most PACKET_DATA_SIZE data bytes, each behind an
// 8-byte header (data length, last-packet flag, three bytes of padding,
// little-endian); a header whose length is PING_LENGTH is a ping, which
// readers skip. Every wait for the other end also watches the optional
// shutdown event, so another thread can end any pending transfer. A pipe
// end is used by one thread at a time.
class ZYMWINDOWS_EXPORT NamedPipe : public Zym::BinaryStreamBuf {
public:
    ZYM_ROOT_EXCEPTION(ZYMWINDOWS_EXPORT, NamedPipeException, ::Zym::Exception);
    // The connection failed; the text says why (empty for a refused handshake).
    ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, BrokenPipeException, NamedPipeException);
    // The shutdown event ended a wait.
    ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, MustClosePipeException, NamedPipeException);
    ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, CannotOpenPipeException, NamedPipeException);

    enum PipeState : std::uint32_t { Idle = 0, Writing = 1, Reading = 2, Broken = 3 };

    static constexpr unsigned int PACKET_DATA_SIZE = 32768;
    static constexpr unsigned int PACKET_HEADER_SIZE = 8;
    static constexpr std::uint32_t PING_LENGTH = 0xFFFFFFFF;
    // Both ends send it first, so that each knows the other speaks this
    // protocol.
    static constexpr std::uint32_t MAGIC_WORD = 0xADD1BEEF;

    ~NamedPipe() override;

    ZymThread::EventSemaphore* GetShutdownEvent() const noexcept { return m_ShutdownEvent; }
    PipeState GetState() const noexcept { return m_State; }

    // Waits for the first packet of the next message when idle.
    void ReadMessage();
    // Ends the message being written (sending what is buffered as its last
    // packet) or read (skipping what is left of it).
    void EndMessage();
    // Whether a ping still reaches the other end; never throws.
    bool IsConnected() const;
    void Ping() const;

protected:
    explicit NamedPipe(ZymThread::EventSemaphore* shutdownEvent);

    // Sends the buffered bytes as one packet; the state does not change.
    void WritePacket(bool last);
    // Reads the next data packet, skipping pings; the state does not change.
    void ReadPacket();
    // Exactly `size` raw bytes, without packet framing.
    void WriteData(const void* data, unsigned int size);
    void ReadData(void* data, unsigned int size);
    // Sends the magic word and checks the peer's; a wrong one raises an
    // empty BrokenPipeException and leaves the stream broken.
    void ExchangeMagicWord();
    // Bounds the raw transfers from now on by `ms` milliseconds in all
    // (LimitTime(NO_TIME_LIMIT) lifts the bound); a transfer past the bound
    // fails with the text of ERROR_TIMEOUT and leaves the stream broken.
    static constexpr unsigned long NO_TIME_LIMIT = 0xFFFFFFFFUL;
    void LimitTime(unsigned long ms);
    // Forgets bytes read ahead from an earlier connection.
    void DropReadAhead() noexcept { m_ReadAheadStart = m_ReadAheadEnd = 0; }
    void WriteUInt32(std::uint32_t value);
    std::uint32_t ReadUInt32();

    unsigned int vPut(const void* data, unsigned int n) override;
    unsigned int vTellP() const override { return 0; }
    unsigned int vSeekP(std::int64_t, Zym::SeekDir) override { return 0; }
    unsigned int vGet(void* data, unsigned int n) override;
    unsigned int vTellG() const override { return 0; }
    unsigned int vSeekG(std::int64_t, Zym::SeekDir) override { return 0; }
    void vFlush() override;
    void vClear() override {}
    void vClearMemory() override {}
    void vClearEnd() override {}
    unsigned int vSize() const override { return 0; }
    bool vEndOfFile() const override;

    // The connected pipe.
    Zym::Handle m_Pipe;

private:
    void SendRaw(const void* data, unsigned int size) const;
    // Sends the header and `length` bytes from `data` in one write.
    void SendPacket(const void* data, unsigned int length, bool last);
    // Reads the next data packet's header, skipping pings; rejects lengths
    // beyond the buffer.
    void ReadPacketHeader();
    [[noreturn]] void ThrowTransferFailure(unsigned long error) const;
    [[noreturn]] void ThrowDisconnected() const;
    // Drops the message under way after a failure; the stream is idle again
    // unless the peer broke the packet framing.
    void AbandonMessage() noexcept;

    unsigned int PacketLength() const noexcept;
    bool IsLastPacket() const noexcept { return m_Packet[4] != 0; }

    ZymThread::EventSemaphore* m_ShutdownEvent;
    mutable PipeState m_State = Idle;
    // Header and data side by side, as a packet travels.
    unsigned char m_Packet[PACKET_HEADER_SIZE + PACKET_DATA_SIZE];
    unsigned int m_Position = 0;
    bool m_Garbled = false;
    // Bytes that arrived behind those a read asked for (the next header, a
    // whole small packet), handed out before the pipe is read again.
    static constexpr unsigned int READ_AHEAD_SIZE = 4096;
    unsigned char m_ReadAhead[READ_AHEAD_SIZE];
    unsigned int m_ReadAheadStart = 0;
    unsigned int m_ReadAheadEnd = 0;
    // Milliseconds since the steady clock's epoch at which transfers stop
    // waiting; NO_DEADLINE when they wait for ever.
    static constexpr std::uint64_t NO_DEADLINE = ~std::uint64_t{0};
    std::uint64_t m_DeadlineMs = NO_DEADLINE;
};

} // namespace ZymWindows
