#include "PipeTestSupport.h"
#include "Wine.h"

#include <ZymCharset/Utf.h>
#include <ZymNetwork/IP.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/NamedPipeClient.h>

#include <gtest/gtest.h>

using namespace pipetest;
using ZymSecurity::NetworkSecurity;
using ZymWindows::ClientNamedPipe;
using ZymWindows::NamedPipe;
using ZymWindows::ServerNamedPipe;

namespace {

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return text;
}

ZymSecurity::BinarySID UserOf(const ZymSecurity::AccessToken& token) {
    return NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(token))->GetSID();
}

} // namespace

TEST(ClientServer, MessagesOfEverySizeRoundTrip) {
    const TestPipe pipe("ends");
    const std::vector<std::size_t> sizes = {0, 1, 32767, 32768, 32769, 65536, 200001};
    ServerThread server(pipe.Name(), [&](ServerNamedPipe& end) {
        for (std::size_t i = 0; i < sizes.size(); ++i)
            WriteWholeMessage(end, ReadWholeMessage(end));
    });
    pipe.WaitUntilServed();
    ClientNamedPipe client(pipe.Name(), ClientNamedPipe::DEFAULT_HOST_NAME, nullptr);
    client.Initialize(false, u"");
    for (std::size_t size : sizes) {
        WriteWholeMessage(client, Pattern(size));
        EXPECT_EQ(ReadWholeMessage(client), Pattern(size)) << "size " << size;
    }
    server.Join();
}

TEST(ClientServer, AClientThatActsForNobodyIsItsOwnClient) {
    const TestPipe pipe("ends");
    ServerThread server(pipe.Name(), [](ServerNamedPipe& end) {
        const auto process = NetworkSecurity::GetCurrentProcessHandle();
        const std::u16string me =
            NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(*process))->GetName();
        EXPECT_FALSE(end.IsImpersonating());
        EXPECT_EQ(end.GetImpersonatorName(), me);
        EXPECT_EQ(end.GetClientName(), me);
        EXPECT_EQ(end.GetClientDomain(), end.GetImpersonatorDomain());
        EXPECT_EQ(end.GetImpersonatorIP(), ZymNetwork::IP::GetMyIP().ToWString());
        EXPECT_EQ(end.GetClientIP(), end.GetImpersonatorIP());
        ASSERT_FALSE(end.GetImpersonatorNetworkIDs().empty());
        EXPECT_EQ(end.GetImpersonatorNetworkIDs().back().GetSecurityID()->GetSID(),
                  UserOf(*process));
        EXPECT_EQ(&end.GetClientNetworkIDs(), &end.GetImpersonatorNetworkIDs());
    });
    pipe.WaitUntilServed();
    ClientNamedPipe client(pipe.Name(), ".", nullptr);
    client.Initialize(false, u"");
    server.Join();
}

TEST(ClientServer, TheLocalHostReachesTheLocalPipe) {
    ZYMTEST_SKIP_UNDER_WINE("a pipe is reached as \\\\.\\pipe\\NAME only; "
                            "\\\\localhost\\pipe\\NAME is 3, path not found");
    const TestPipe pipe("ends");
    ServerThread server(pipe.Name(), [](ServerNamedPipe& end) { WriteWholeMessage(end, "here"); });
    pipe.WaitUntilServed();
    ClientNamedPipe client(pipe.Name(), "localhost", nullptr);
    client.Initialize(false, u"");
    EXPECT_EQ(ReadWholeMessage(client), "here");
    server.Join();
}

TEST(ClientServer, AClientActingForItsThreadAccountClaimsIt) {
    const TestPipe pipe("ends");
    ServerThread server(pipe.Name(), [](ServerNamedPipe& end) {
        EXPECT_TRUE(end.IsImpersonating());
        const auto token = NetworkSecurity::GetCurrentProcessHandle();
        std::vector<ZymSecurity::SecurityIDPtr> groups;
        NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(*token), groups);
        const auto& claimed = end.GetClientNetworkIDs();
        ASSERT_EQ(claimed.size(), groups.size() + 1);
        EXPECT_EQ(claimed.back().GetSecurityID()->GetSID(), UserOf(*token));
        EXPECT_EQ(claimed.front().GetSecurityID()->GetSID(), groups.front()->GetSID());
        EXPECT_EQ(end.GetClientName(), claimed.back().GetName());
        // The declared address is this machine's; the claimed one is what
        // the client gave, here nothing.
        EXPECT_EQ(end.GetImpersonatorIP(), ZymNetwork::IP::GetMyIP().ToWString());
        EXPECT_EQ(end.GetClientIP(), u"");
    });
    pipe.WaitUntilServed();
    ClientNamedPipe client(pipe.Name(), ".", nullptr);
    client.Initialize(true, u"");
    server.Join();

    ServerThread declared(pipe.Name(), [](ServerNamedPipe& end) {
        EXPECT_EQ(end.GetImpersonatorIP(), u"198.51.100.7");
        EXPECT_EQ(end.GetClientIP(), u"198.51.100.7");
    });
    pipe.WaitUntilServed();
    ClientNamedPipe second(pipe.Name(), ".", nullptr);
    second.Initialize(false, u"198.51.100.7");
    declared.Join();
}

TEST(ClientServer, OpeningFailsClearlyWhenThereIsNoPipe) {
    const TestPipe pipe("missing");
    const auto openError = [](const std::string& name, const std::string& host) {
        try {
            ClientNamedPipe client(name, host, nullptr);
        } catch (const NamedPipe::CannotOpenPipeException& error) {
            return error.What();
        }
        return std::u16string(u"opened");
    };
    EXPECT_EQ(openError(pipe.Name(), "."), u"The system cannot find the file specified.");
    ZYMTEST_SKIP_UNDER_WINE("a pipe on another host is 3, path not found, whatever the host");
    EXPECT_EQ(openError(pipe.Name(), "elsewhere.invalid"), u"The network path was not found.");
}

// A server object that serves a second connection forgets everything the
// first peer sent behind its handshake.
TEST(ClientServer, ASecondInitializeStartsFromTheNewPeersBytes) {
    const TestPipe pipe("ends");
    ZymThread::EventSemaphore firstDone(true, false);
    std::string secondMessage;
    ServerThread server(pipe.Name(), [&](ServerNamedPipe& end) {
        firstDone.Set();
        end.Initialize(pipe.Name());
        end.EndMessage();
        secondMessage = ReadWholeMessage(end);
    });
    pipe.WaitUntilServed();
    {
        RawPeer first(pipe);
        // Arrives in one piece, so that the server reads what stands behind
        // the identity block ahead with it.
        const std::vector<unsigned char> block = IdentityBlock(u"10.0.0.1", false);
        first.Send(
            Concat({UInt32(NamedPipe::MAGIC_WORD), UInt32(static_cast<std::uint32_t>(block.size())),
                    block, UInt32(0x12345678), PacketHeader(3, true)}));
        firstDone.Wait();
    }
    pipe.WaitUntilServed();
    ClientNamedPipe second(pipe.Name(), ".", nullptr);
    second.Initialize(false, u"");
    WriteWholeMessage(second, "fresh");
    server.Join();
    EXPECT_EQ(secondMessage, "fresh");
}
