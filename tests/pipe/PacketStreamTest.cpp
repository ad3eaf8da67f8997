#include "PipeTestSupport.h"

#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

using namespace pipetest;
using ZymWindows::NamedPipe;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

} // namespace

TEST(PacketStream, OutgoingMessagesAreFramedAsPackets) {
    const TestPipe testPipe("stream");
    ServerThread server(testPipe.Name(), [](ZymWindows::ServerNamedPipe& pipe) {
        WriteWholeMessage(pipe, std::string(32768, 'x'));
        pipe.EndMessage(); // nothing written: an empty message
        pipe.Put("0123456789", 10);
        pipe.Flush();
        pipe.Flush(); // nothing buffered: nothing sent
        pipe.Put("abcde", 5);
        pipe.EndMessage();
        // Whole packets from a long write leave without the buffer, in
        // order with what is buffered.
        pipe.Put("ab", 2);
        const std::string longWrite(2 * 32768 + 5, 'y');
        pipe.Put(longWrite.data(), static_cast<unsigned int>(longWrite.size()));
        pipe.EndMessage();
        EXPECT_TRUE(pipe.IsConnected());
        pipe.Ping();
    });
    testPipe.WaitUntilServed();
    RawPeer peer(testPipe);
    peer.Handshake();
    const Bytes expected = Concat(
        {PacketHeader(32768, false), Bytes(32768, 'x'), PacketHeader(0, true),
         PacketHeader(0, true), PacketHeader(10, false), Text("0123456789"), PacketHeader(5, true),
         Text("abcde"), PacketHeader(32768, false), Text("ab"), Bytes(32766, 'y'),
         PacketHeader(32768, false), Bytes(32768, 'y'), PacketHeader(7, true), Bytes(7, 'y'),
         PacketHeader(0xFFFFFFFF, false), PacketHeader(0xFFFFFFFF, false)});
    // The offset where the bytes first differ, if they do.
    const Bytes got = peer.Receive(expected.size());
    EXPECT_EQ(std::mismatch(got.begin(), got.end(), expected.begin()).first - got.begin(),
              std::ssize(got));
    server.Join();
}

TEST(PacketStream, ReadersSkipPingsAndStopAtTheEndOfAMessage) {
    const TestPipe testPipe("stream");
    const Bytes ping = PacketHeader(0xFFFFFFFF, true);
    ServerThread server(testPipe.Name(), [](ZymWindows::ServerNamedPipe& pipe) {
        char buffer[16] = {};
        pipe.ReadMessage();
        EXPECT_EQ(pipe.GetState(), NamedPipe::Reading);
        // The end of a packet that more packets follow is not the end of
        // the message.
        EXPECT_EQ(pipe.Read(buffer, 3), 3u);
        EXPECT_FALSE(pipe.EndOfFile());
        EXPECT_EQ(pipe.Read(buffer + 3, sizeof buffer - 3), 5u);
        EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
        EXPECT_TRUE(pipe.EndOfFile());
        EXPECT_EQ(pipe.Read(buffer, sizeof buffer), 0u);
        pipe.EndMessage();
        EXPECT_EQ(pipe.GetState(), NamedPipe::Idle);

        // Ending a message while reading skips the rest of it.
        pipe.Get(buffer, 1);
        EXPECT_EQ(buffer[0], '1');
        pipe.EndMessage();

        // Typed reads past the end of a message raise.
        Zym::BinaryStream stream(pipe);
        std::uint16_t small = 0;
        std::uint32_t tooBig = 0;
        stream >> small;
        EXPECT_EQ(small, 0x6B6Fu);
        EXPECT_THROW(stream >> tooBig, Zym::BinaryStreamGetEOFException);
        pipe.EndMessage();
        EXPECT_EQ(ReadWholeMessage(pipe), "last");
    });
    testPipe.WaitUntilServed();
    RawPeer peer(testPipe);
    peer.Handshake();
    peer.Send(Concat({ping, ping, PacketHeader(3, false), Text("abc"), ping, PacketHeader(2, false),
                      Text("de"), ping, ping, PacketHeader(0, false), PacketHeader(3, true),
                      Text("fgh")}));
    peer.Send(Concat({PacketHeader(1, false), Text("1"), PacketHeader(1, false), Text("2"), ping,
                      PacketHeader(0, false), PacketHeader(1, true), Text("3")}));
    peer.Send(Concat({PacketHeader(2, true), Text("ok")}));
    peer.Send(Concat({PacketHeader(4, true), Text("last")}));
    server.Join();
}

TEST(PacketStream, HostilePeersBreakTheirConnectionOnly) {
    struct Case {
        const char* what;
        std::function<void(RawPeer&)> peer;
        // The BrokenPipeException's text; none when the stream's own end of
        // file ends the handshake.
        std::optional<std::u16string> expectedText;
        bool inMessage; // whether the handshake passed
    };
    // A peer that sends `bytes` where the identity block's size belongs.
    const auto afterMagic = [](Bytes bytes) {
        return [bytes](RawPeer& peer) {
            peer.Send(UInt32(NamedPipe::MAGIC_WORD));
            peer.Receive(4);
            peer.Send(bytes);
        };
    };
    const std::vector<Case> cases = {
        {"wrong magic word", [](RawPeer& peer) { peer.Send(UInt32(0x12345678)); }, u"", false},
        {"identity block over the bound", afterMagic(UInt32(65537)), u"", false},
        {"garbage identity block", afterMagic(Concat({UInt32(5), {0xFF, 0xFF, 0xFF, 0xFF, 0x7F}})),
         std::nullopt, false},
        {"vanishes during the handshake", [](RawPeer& peer) { peer.Close(); },
         u"The pipe has been ended.", false},
        {"oversized packet",
         [](RawPeer& peer) {
             peer.Handshake();
             peer.Send(PacketHeader(32769, true));
         },
         u"The other end sent a packet longer than 32768 bytes.", true},
        {"vanishes mid-message",
         [](RawPeer& peer) {
             peer.Handshake();
             peer.Send(Concat({PacketHeader(100, true), Bytes(10, 'x')}));
             peer.Close();
         },
         u"The pipe has been ended.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TestPipe testPipe("stream");
        NamedPipe::PipeState stateAfter = NamedPipe::Idle;
        ServerThread server(testPipe.Name(), [&](ZymWindows::ServerNamedPipe& pipe) {
            try {
                pipe.ReadMessage();
            } catch (const NamedPipe::BrokenPipeException&) {
                stateAfter = pipe.GetState();
                throw;
            }
        });
        testPipe.WaitUntilServed();
        RawPeer peer(testPipe);
        c.peer(peer);
        try {
            server.Join();
            ADD_FAILURE() << "the server accepted the peer";
        } catch (const NamedPipe::BrokenPipeException& error) {
            EXPECT_EQ(error.What(), c.expectedText);
        } catch (const Zym::BinaryStreamGetEOFException&) {
            EXPECT_FALSE(c.expectedText) << "the stream's end of file instead of a pipe exception";
        }
        EXPECT_EQ(stateAfter, c.inMessage ? NamedPipe::Broken : NamedPipe::Idle);
    }
}

TEST(PacketStream, AStreamWhosePeerIsGoneStaysBroken) {
    const TestPipe testPipe("stream");
    ZymThread::EventSemaphore peerClosed(true, false);
    ServerThread server(testPipe.Name(), [&](ZymWindows::ServerNamedPipe& pipe) {
        WriteWholeMessage(pipe, "bye");
        peerClosed.Wait();
        EXPECT_FALSE(pipe.IsConnected());
        EXPECT_EQ(pipe.GetState(), NamedPipe::Broken);
        for (const auto& operation : std::vector<std::function<void()>>{
                 [&] { pipe.Put("x", 1); }, [&] { pipe.Flush(); }, [&] { pipe.EndMessage(); },
                 [&] { pipe.ReadMessage(); }, [&] { pipe.Ping(); }})
            EXPECT_EQ(ErrorText<NamedPipe::BrokenPipeException>(operation),
                      u"The other end of the pipe has disconnected.");
    });
    testPipe.WaitUntilServed();
    {
        RawPeer peer(testPipe);
        peer.Handshake();
        peer.Receive(8 + 3);
    }
    peerClosed.Set();
    server.Join();
}
