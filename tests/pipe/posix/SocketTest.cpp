// The Linux side's sockets: socket files and the kernel's peer credentials.
#include "Child.h"
#include "PosixPipeSupport.h"

#include <ZymWindows/NamedPipeClient.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

using namespace pipetest;
using ZymWindows::NamedPipe;
using ZymWindows::ServerNamedPipe;

namespace {

constexpr uid_t NOBODY = 65534;

std::u16string SidOf(const ZymSecurity::NetworkID& id) {
    return id.GetSecurityID()->GetString();
}

// Runs a client in a child process under another account. The child makes
// only raw system calls: it connects, sends `bytes` and waits for the
// server to hang up.
zymtest::Child ConnectAsUser(uid_t uid, const std::string& socketPath,
                             const std::vector<unsigned char>& bytes) {
    const sockaddr_un address = AddressOf(socketPath);
    return zymtest::Child::Fork([&] {
        const gid_t group = uid;
        if (syscall(SYS_setgroups, 1, &group) != 0 ||
            syscall(SYS_setresgid, group, group, group) != 0 ||
            syscall(SYS_setresuid, uid, uid, uid) != 0)
            return 2;
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            return 3;
        char rest[64];
        while (read(fd, rest, sizeof rest) > 0) {
        }
        return 0;
    });
}

} // namespace

TEST(Sockets, TheConnectingAccountIsTheKernelsNotTheClientsWord) {
    if (geteuid() != 0)
        GTEST_SKIP() << "running a client as another account needs root";
    const TestPipe pipe("ends");
    // A client running as nobody that claims, for the party it acts for,
    // root on a machine far away.
    const ZymSecurity::NetworkID claimedRoot(ZymSecurity::SecurityIDCache::CreateSecurityID(
                                                 ZymSecurity::BinarySID::Parse(u"S-1-22-1-0"),
                                                 u"root", u"far-away", ZymSecurity::SidTypeUser),
                                             u"far-away");
    const std::vector<unsigned char> block =
        IdentityBlock(u"192.0.2.1", true, {claimedRoot}, u"10.9.8.7");
    ServerThread server(pipe.Name(), [](ServerNamedPipe& end) {
        EXPECT_EQ(end.GetImpersonatorName(), u"nobody");
        ASSERT_FALSE(end.GetImpersonatorNetworkIDs().empty());
        EXPECT_EQ(SidOf(end.GetImpersonatorNetworkIDs().back()), u"S-1-22-1-65534");
        EXPECT_EQ(SidOf(end.GetImpersonatorNetworkIDs().front()), u"S-1-22-2-65534");
        EXPECT_EQ(end.GetImpersonatorIP(), u"192.0.2.1");
        EXPECT_TRUE(end.IsImpersonating());
        EXPECT_EQ(end.GetClientName(), u"root");
        EXPECT_EQ(end.GetClientDomain(), u"far-away");
        EXPECT_EQ(end.GetClientIP(), u"10.9.8.7");
        ASSERT_EQ(end.GetClientNetworkIDs().size(), 1u);
        EXPECT_EQ(end.GetClientNetworkIDs()[0].GetMachine(), u"far-away");
    });
    pipe.WaitUntilServed();
    zymtest::Child child =
        ConnectAsUser(NOBODY, SocketOf(pipe),
                      Concat({UInt32(NamedPipe::MAGIC_WORD),
                              UInt32(static_cast<std::uint32_t>(block.size())), block}));
    server.Join();
    EXPECT_EQ(child.Wait().status, 0);
}

TEST(Sockets, AThreadActingAsAnotherAccountConnectsAsThatAccount) {
    if (geteuid() != 0)
        GTEST_SKIP() << "switching a thread's user needs root";
    const TestPipe pipe("ends");
    ServerThread server(pipe.Name(), [](ServerNamedPipe& end) {
        EXPECT_EQ(end.GetImpersonatorName(), u"nobody");
        EXPECT_EQ(end.GetClientName(), u"nobody");
        EXPECT_EQ(SidOf(end.GetClientNetworkIDs().back()), u"S-1-22-1-65534");
    });
    pipe.WaitUntilServed();
    std::thread([&] {
        // Only this thread changes its effective user.
        ASSERT_EQ(syscall(SYS_setresuid, -1, NOBODY, -1), 0);
        Connect(pipe, true);
        ASSERT_EQ(syscall(SYS_setresuid, -1, 0, -1), 0);
    }).join();
    server.Join();
}

// A name is a file name in the pipe directory; a socket file left by a
// server that is gone leaves clients nothing to open, and a new server
// takes the name over.
TEST(Sockets, PipeNamesAreSocketFilesOfTheDirectory) {
    const TestPipe pipe("stale");
    EXPECT_EQ(OpenError("a/b"),
              u"The filename, directory name, or volume label syntax is incorrect.");
    {
        const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = AddressOf(SocketOf(pipe));
        ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        close(stale);
    }
    struct stat staleFile {};
    ASSERT_EQ(stat(SocketOf(pipe).c_str(), &staleFile), 0);
    EXPECT_EQ(OpenError(pipe.Name()), u"The system cannot find the file specified.");
    ServerThread server(pipe.Name(), [](ServerNamedPipe& end) { WriteWholeMessage(end, "fresh"); });
    WaitForPipeSocket(pipe, pipe.Name(), staleFile.st_ino);
    EXPECT_EQ(ReadWholeMessage(*Connect(pipe)), "fresh");
    server.Join();
}

TEST(Sockets, ZymwinServesUntilSIGTERMAndRemovesItsSocket) {
    const TestPipe pipe("cli");
    zymtest::Child server({ZYMWIN_PATH, "pipe", "serve", "cli"});
    ASSERT_EQ(server.ReadLine(), "serving \\\\.\\pipe\\cli");
    const auto stopped = server.Stop(SIGTERM);
    EXPECT_EQ(stopped.status, 0) << stopped.err;
    EXPECT_EQ(stopped.out, "stopped\n");
    EXPECT_FALSE(std::filesystem::exists(SocketOf(pipe)));
}
