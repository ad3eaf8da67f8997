#include "TestAccounts.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/NamedPipeServer.h>

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <tuple>

namespace impersonationtest {

namespace {

const std::string ZYMWIN = ZYMWIN_PATH;

std::string Text(unsigned long code) {
    return ZymCharset::ToUtf8(Zym::GetLastErrorMessage(code));
}

std::string Password(const TestAccount& account) {
    return ZymCharset::ToUtf8(account.Password()) + "\n";
}

class ImpersonateCommandTest : public testing::Test {
protected:
    void SetUp() override { InstallPamService(); }
    SharedDirectory m_Directory;
};

TEST_F(ImpersonateCommandTest, ActsAsTheAccountOnAWorkerThreadAndReverts) {
    const TestAccount account;
    const auto file = m_Directory.Path() / "touched";
    ZymThread::EventSemaphore shutdown(true, false);
    // One server end that answers one message with its bytes reversed.
    auto server = std::async(std::launch::async, [&] {
        ZymWindows::ServerNamedPipe pipe(&shutdown);
        pipe.Initialize("cli");
        std::string message(64, '\0');
        pipe.ReadMessage();
        message.resize(pipe.Read(message.data(), static_cast<unsigned int>(message.size())));
        pipe.EndMessage();
        const std::string reply(message.rbegin(), message.rend());
        pipe.Put(reply.data(), static_cast<unsigned int>(reply.size()));
        pipe.EndMessage();
        // Its SID: the account's uid may have been another test account's.
        return ZymCharset::ToUtf8(
            pipe.GetImpersonatorNetworkIDs().back().GetSecurityID()->GetString());
    });
    const auto result = zymtest::RunProcess(
        {ZYMWIN, "impersonate", account.Name(), "--touch", file.string(), "--pipe", "cli", "hello"},
        Password(account));
    if (result.status != 0)
        shutdown.Set();
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "thread uid=" + std::to_string(account.Uid()) +
                              " gid=" + std::to_string(PRIMARY_GROUP) +
                              "\n"
                              "process uid=0\n"
                              "created " +
                              file.string() +
                              "\n"
                              "reply: olleh\n"
                              "reverted uid=0 gid=0\n");
    EXPECT_EQ(OwnerOf(file), account.Uid());
    EXPECT_EQ(server.get(), "S-1-22-1-" + std::to_string(account.Uid()));
}

// A wrong password fails the logon; a caller without the right to switch is
// refused before it. Either way nothing is done.
TEST_F(ImpersonateCommandTest, FailuresPrintTheTextAndDoNothing) {
    const TestAccount account;
    const auto file = m_Directory.Path() / "never";
    const std::vector<std::string> impersonate{ZYMWIN, "impersonate", account.Name(), "--touch",
                                               file.string()};
    std::vector<std::string> asNobody{"setpriv", "--reuid=65534", "--regid=65534",
                                      "--clear-groups"};
    asNobody.insert(asNobody.end(), impersonate.begin(), impersonate.end());
    for (const auto& [argv, input, code] :
         {std::tuple{impersonate, std::string("wrong\n"), Zym::ERROR_LOGON_FAILURE},
          {asNobody, Password(account), Zym::ERROR_PRIVILEGE_NOT_HELD}}) {
        const auto result = zymtest::RunProcess(argv, input);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "zymwin impersonate: " + Text(code) + "\n");
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

} // namespace

} // namespace impersonationtest
