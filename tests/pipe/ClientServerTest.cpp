// Over the Linux side's sockets (raw peers, socket files, kernel
// credentials); the Windows cases are in win32/.
#ifndef _WIN32
#include "Child.h"
#include "PipeTestSupport.h"

#include <ZymCharset/Utf.h>
#include <ZymNetwork/IP.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/NamedPipeClient.h>

#include <gtest/gtest.h>

#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

using namespace pipetest;
using ZymWindows::ClientNamedPipe;
using ZymWindows::NamedPipe;
using ZymWindows::ServerNamedPipe;

namespace {

constexpr const char* PIPE = "ends";
constexpr uid_t NOBODY = 65534;

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return text;
}

std::u16string SidOf(const ZymSecurity::NetworkID& id) {
    return id.GetSecurityID()->GetString();
}

// Runs a client in a child process under another account. The child makes
// only raw system calls: it connects, sends `bytes` and waits for the
// server to hang up.
zymtest::Child ConnectAsUser(uid_t uid, const std::string& socketPath,
                             const std::vector<unsigned char>& bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    return zymtest::Child::Fork([&] {
        const gid_t group = uid;
        if (syscall(SYS_setgroups, 1, &group) != 0 ||
            syscall(SYS_setresgid, group, group, group) != 0 ||
            syscall(SYS_setresuid, uid, uid, uid) != 0)
            return 2;
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            return 3;
        char rest[64];
        while (read(fd, rest, sizeof rest) > 0) {
        }
        return 0;
    });
}

} // namespace

TEST(ClientServer, MessagesOfEverySizeRoundTrip) {
    const ScopedPipeDirectory directory;
    const std::vector<std::size_t> sizes = {0, 1, 32767, 32768, 32769, 65536, 200001};
    ServerThread server(PIPE, [&](ServerNamedPipe& pipe) {
        for (std::size_t i = 0; i < sizes.size(); ++i)
            WriteWholeMessage(pipe, ReadWholeMessage(pipe));
    });
    WaitForPipeSocket(directory, PIPE);
    ClientNamedPipe client(PIPE, ClientNamedPipe::DEFAULT_HOST_NAME, nullptr);
    client.Initialize(false, u"");
    for (std::size_t size : sizes) {
        WriteWholeMessage(client, Pattern(size));
        EXPECT_EQ(ReadWholeMessage(client), Pattern(size)) << "size " << size;
    }
    server.Join();
}

TEST(ClientServer, AClientThatActsForNobodyIsItsOwnClient) {
    const ScopedPipeDirectory directory;
    ServerThread server(PIPE, [](ServerNamedPipe& pipe) {
        const std::u16string me = ZymSecurity::NetworkSecurity::GetUserSID(
                                      ZymSecurity::NetworkSecurity::GetUserToken(
                                          *ZymSecurity::NetworkSecurity::GetCurrentProcessHandle()))
                                      ->GetName();
        EXPECT_FALSE(pipe.IsImpersonating());
        EXPECT_EQ(pipe.GetImpersonatorName(), me);
        EXPECT_EQ(pipe.GetClientName(), me);
        EXPECT_EQ(pipe.GetClientDomain(), pipe.GetImpersonatorDomain());
        EXPECT_EQ(pipe.GetImpersonatorIP(), ZymNetwork::IP::GetMyIP().ToWString());
        EXPECT_EQ(pipe.GetClientIP(), pipe.GetImpersonatorIP());
        ASSERT_FALSE(pipe.GetImpersonatorNetworkIDs().empty());
        EXPECT_EQ(SidOf(pipe.GetImpersonatorNetworkIDs().back()),
                  u"S-1-22-1-" + ZymCharset::FromUtf8(std::to_string(geteuid())));
        EXPECT_EQ(&pipe.GetClientNetworkIDs(), &pipe.GetImpersonatorNetworkIDs());
    });
    WaitForPipeSocket(directory, PIPE);
    ClientNamedPipe client(PIPE, "localhost", nullptr);
    client.Initialize(false, u"");
    server.Join();
}

TEST(ClientServer, AClientActingForItsThreadAccountClaimsIt) {
    const ScopedPipeDirectory directory;
    ServerThread server(PIPE, [](ServerNamedPipe& pipe) {
        EXPECT_TRUE(pipe.IsImpersonating());
        const auto token = ZymSecurity::NetworkSecurity::GetCurrentProcessHandle();
        const auto& claimed = pipe.GetClientNetworkIDs();
        ASSERT_EQ(claimed.size(), token->GetGroups().size() + 1);
        EXPECT_EQ(claimed.back().GetSecurityID()->GetSID(), token->GetUser());
        EXPECT_EQ(claimed.front().GetSecurityID()->GetSID(), token->GetGroups().front());
        EXPECT_EQ(pipe.GetClientName(), claimed.back().GetName());
        // The declared address is this machine's; the claimed one is what
        // the client gave, here nothing.
        EXPECT_EQ(pipe.GetImpersonatorIP(), ZymNetwork::IP::GetMyIP().ToWString());
        EXPECT_EQ(pipe.GetClientIP(), u"");
    });
    WaitForPipeSocket(directory, PIPE);
    ClientNamedPipe client(PIPE, ".", nullptr);
    client.Initialize(true, u"");
    server.Join();

    ServerThread declared(PIPE, [](ServerNamedPipe& pipe) {
        EXPECT_EQ(pipe.GetImpersonatorIP(), u"198.51.100.7");
        EXPECT_EQ(pipe.GetClientIP(), u"198.51.100.7");
    });
    WaitForPipeSocket(directory, PIPE);
    ClientNamedPipe second(PIPE, ".", nullptr);
    second.Initialize(false, u"198.51.100.7");
    declared.Join();
}

TEST(ClientServer, TheConnectingAccountIsTheKernelsNotTheClientsWord) {
    if (geteuid() != 0)
        GTEST_SKIP() << "running a client as another account needs root";
    const ScopedPipeDirectory directory;
    // A client running as nobody that claims, for the party it acts for,
    // root on a machine far away.
    const ZymSecurity::NetworkID claimedRoot(ZymSecurity::SecurityIDCache::CreateSecurityID(
                                                 ZymSecurity::BinarySID::Parse(u"S-1-22-1-0"),
                                                 u"root", u"far-away", ZymSecurity::SidTypeUser),
                                             u"far-away");
    const std::vector<unsigned char> block =
        IdentityBlock(u"192.0.2.1", true, {claimedRoot}, u"10.9.8.7");
    ServerThread server(PIPE, [](ServerNamedPipe& pipe) {
        EXPECT_EQ(pipe.GetImpersonatorName(), u"nobody");
        ASSERT_FALSE(pipe.GetImpersonatorNetworkIDs().empty());
        EXPECT_EQ(SidOf(pipe.GetImpersonatorNetworkIDs().back()), u"S-1-22-1-65534");
        EXPECT_EQ(SidOf(pipe.GetImpersonatorNetworkIDs().front()), u"S-1-22-2-65534");
        EXPECT_EQ(pipe.GetImpersonatorIP(), u"192.0.2.1");
        EXPECT_TRUE(pipe.IsImpersonating());
        EXPECT_EQ(pipe.GetClientName(), u"root");
        EXPECT_EQ(pipe.GetClientDomain(), u"far-away");
        EXPECT_EQ(pipe.GetClientIP(), u"10.9.8.7");
        ASSERT_EQ(pipe.GetClientNetworkIDs().size(), 1u);
        EXPECT_EQ(pipe.GetClientNetworkIDs()[0].GetMachine(), u"far-away");
    });
    WaitForPipeSocket(directory, PIPE);
    zymtest::Child child =
        ConnectAsUser(NOBODY, directory.SocketOf(PIPE),
                      Concat({UInt32(NamedPipe::MAGIC_WORD),
                              UInt32(static_cast<std::uint32_t>(block.size())), block}));
    server.Join();
    EXPECT_EQ(child.Wait().status, 0);
}

TEST(ClientServer, AThreadActingAsAnotherAccountConnectsAsThatAccount) {
    if (geteuid() != 0)
        GTEST_SKIP() << "switching a thread's user needs root";
    const ScopedPipeDirectory directory;
    ServerThread server(PIPE, [](ServerNamedPipe& pipe) {
        EXPECT_EQ(pipe.GetImpersonatorName(), u"nobody");
        EXPECT_EQ(pipe.GetClientName(), u"nobody");
        EXPECT_EQ(SidOf(pipe.GetClientNetworkIDs().back()), u"S-1-22-1-65534");
    });
    WaitForPipeSocket(directory, PIPE);
    std::thread([] {
        // Only this thread changes its effective user.
        ASSERT_EQ(syscall(SYS_setresuid, -1, NOBODY, -1), 0);
        {
            ClientNamedPipe client(PIPE, ".", nullptr);
            client.Initialize(true, u"");
        }
        ASSERT_EQ(syscall(SYS_setresuid, -1, 0, -1), 0);
    }).join();
    server.Join();
}

TEST(ClientServer, OpeningFailsClearlyWhenThereIsNoPipe) {
    const ScopedPipeDirectory directory;
    const auto openError = [](const std::string& name, const std::string& host) {
        try {
            ClientNamedPipe client(name, host, nullptr);
        } catch (const NamedPipe::CannotOpenPipeException& error) {
            return error.What();
        }
        return std::u16string(u"opened");
    };
    EXPECT_EQ(openError("missing", "."), u"The system cannot find the file specified.");
    EXPECT_EQ(openError("missing", "elsewhere"), u"The network path was not found.");
    EXPECT_EQ(openError("a/b", "."),
              u"The filename, directory name, or volume label syntax is incorrect.");

    // A socket file left by a server that is gone: clients find no pipe,
    // and a new server takes the name over.
    {
        const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        directory.SocketOf("stale").copy(address.sun_path, sizeof address.sun_path - 1);
        ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(stale);
    }
    struct stat staleFile {};
    ASSERT_EQ(stat(directory.SocketOf("stale").c_str(), &staleFile), 0);
    EXPECT_EQ(openError("stale", "."), u"The system cannot find the file specified.");
    ServerThread server("stale", [](ServerNamedPipe& pipe) { WriteWholeMessage(pipe, "fresh"); });
    WaitForPipeSocket(directory, "stale", staleFile.st_ino);
    ClientNamedPipe client("stale", ".", nullptr);
    client.Initialize(false, u"");
    const std::string reply = ReadWholeMessage(client);
    EXPECT_EQ(reply, "fresh");
    server.Join();
}

// A server object that serves a second connection forgets everything the
// first peer sent behind its handshake.
TEST(ClientServer, ASecondInitializeStartsFromTheNewPeersBytes) {
    const ScopedPipeDirectory directory;
    ZymThread::EventSemaphore firstDone(true, false);
    std::string secondMessage;
    ServerThread server(PIPE, [&](ServerNamedPipe& pipe) {
        firstDone.Set();
        pipe.Initialize(PIPE);
        pipe.EndMessage();
        secondMessage = ReadWholeMessage(pipe);
    });
    WaitForPipeSocket(directory, PIPE);
    {
        RawPeer first(directory.SocketOf(PIPE));
        // Arrives in one piece, so that the server reads what stands behind
        // the identity block ahead with it.
        const std::vector<unsigned char> block = IdentityBlock(u"10.0.0.1", false);
        first.Send(
            Concat({UInt32(NamedPipe::MAGIC_WORD), UInt32(static_cast<std::uint32_t>(block.size())),
                    block, UInt32(0x12345678), PacketHeader(3, true)}));
        firstDone.Wait();
    }
    ClientNamedPipe second(PIPE, ".", nullptr);
    second.Initialize(false, u"");
    WriteWholeMessage(second, "fresh");
    server.Join();
    EXPECT_EQ(secondMessage, "fresh");
}

// Instances of one name are limited: one more than the limit is refused at
// once, as all pipe instances being busy.
TEST(ClientServer, TheInstanceBeyondTheLimitIsBusy) {
    const ScopedPipeDirectory directory;
    ZymThread::EventSemaphore shutdown(true, false);
    std::vector<std::unique_ptr<ServerThread>> servers;
    for (int i = 0; i < 255; ++i)
        servers.push_back(std::make_unique<ServerThread>(
            PIPE, [](ServerNamedPipe&) { FAIL() << "no client should connect"; }, &shutdown));
    // Each instance exists once its thread waits for a client.
    for (const auto& server : servers)
        WaitUntilBlockedInPoll(server->Tid());
    ServerNamedPipe extra;
    try {
        extra.Initialize(PIPE);
        ADD_FAILURE() << "a 256th instance was created";
    } catch (const NamedPipe::BrokenPipeException& error) {
        EXPECT_EQ(error.What(), u"All pipe instances are busy.");
    }
    shutdown.Set();
    for (const auto& server : servers)
        EXPECT_THROW(server->Join(), NamedPipe::MustClosePipeException);
}

#endif
