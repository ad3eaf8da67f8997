#include "Child.h"
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

ZymSecurity::BinarySID UserOf(const ZymSecurity::AccessToken& token) {
    return NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(token))->GetSID();
}

} // namespace

// What the server learns of a client depends on what the client says it
// acts for: itself (the connecting account twice, this machine's address),
// its thread's account (claimed as sent), or itself at an address it names.
TEST(ClientServer, TheServerLearnsWhomTheClientActsFor) {
    const TestPipe pipe("ends");
    const auto process = NetworkSecurity::GetCurrentProcessHandle();
    const std::u16string me =
        NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(*process))->GetName();
    const auto connect = [&](bool impersonating, const std::u16string& ip,
                             ServerThread::Body check) {
        ServerThread server(pipe.Name(), std::move(check));
        pipe.WaitUntilServed();
        const auto client = Connect(pipe, impersonating, ip);
        server.Join();
    };
    connect(false, u"", [&](ServerNamedPipe& end) {
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
    connect(true, u"", [&](ServerNamedPipe& end) {
        EXPECT_TRUE(end.IsImpersonating());
        std::vector<ZymSecurity::SecurityIDPtr> groups;
        NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(*process), groups);
        const auto& claimed = end.GetClientNetworkIDs();
        ASSERT_EQ(claimed.size(), groups.size() + 1);
        EXPECT_EQ(claimed.back().GetSecurityID()->GetSID(), UserOf(*process));
        EXPECT_EQ(claimed.front().GetSecurityID()->GetSID(), groups.front()->GetSID());
        EXPECT_EQ(end.GetClientName(), claimed.back().GetName());
        // The declared address is this machine's; the claimed one is what
        // the client gave, here nothing.
        EXPECT_EQ(end.GetImpersonatorIP(), ZymNetwork::IP::GetMyIP().ToWString());
        EXPECT_EQ(end.GetClientIP(), u"");
    });
    connect(false, u"198.51.100.7", [](ServerNamedPipe& end) {
        EXPECT_EQ(end.GetImpersonatorIP(), u"198.51.100.7");
        EXPECT_EQ(end.GetClientIP(), u"198.51.100.7");
    });
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

TEST(ClientServer, OpeningFailsClearlyWhenThereIsNoPipe) {
    const TestPipe pipe("missing");
    EXPECT_EQ(OpenError(pipe.Name()), u"The system cannot find the file specified.");
    ZYMTEST_SKIP_UNDER_WINE("a pipe on another host is 3, path not found, whatever the host");
    EXPECT_EQ(OpenError(pipe.Name(), "elsewhere.invalid"), u"The network path was not found.");
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
    const auto second = Connect(pipe);
    WriteWholeMessage(*second, "fresh");
    server.Join();
    EXPECT_EQ(secondMessage, "fresh");
}

// zymwin as server and client, two processes of their own.
TEST(ClientServer, ZymwinServesAndSendsAcrossProcesses) {
    const TestPipe pipe("cli");
    zymtest::Child server({ZYMWIN_PATH, "pipe", "serve", pipe.Name()});
    ASSERT_EQ(server.ReadLine(), "serving \\\\.\\pipe\\" + pipe.Name());
    const auto sent = zymtest::RunProcess({ZYMWIN_PATH, "pipe", "send", pipe.Name(), "--ip",
                                           "203.0.113.9", "first", "second message"});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.out, "first\nsecond message\n");
    const std::string connected = server.ReadLine();
    EXPECT_NE(connected.find("connected: name \""), std::string::npos) << connected;
    EXPECT_NE(connected.find("IP \"203.0.113.9\"; claimed:"), std::string::npos) << connected;
    // A pipe exception is the command's error, with the pipe's path.
    const auto missing =
        zymtest::RunProcess({ZYMWIN_PATH, "pipe", "send", pipe.Name() + "-x", "x"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zymwin pipe: \\\\.\\pipe\\" + pipe.Name() +
                               "-x: The system cannot find the file specified.\n");
}
