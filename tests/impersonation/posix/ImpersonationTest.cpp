#include "TestFiles.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Impersonation.h>
#include <ZymWindows/NTNetwork.h>
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeServer.h>

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <fstream>
#include <functional>
#include <future>
#include <random>
#include <stdexcept>
#include <thread>
#include <tuple>

namespace {

namespace fs = std::filesystem;

// Every test account's groups; neither number is its user number.
constexpr std::uint32_t PRIMARY_GROUP = 100; // "users"
constexpr std::uint32_t EXTRA_GROUP = 50;    // "staff"

void RunOrThrow(const std::vector<std::string>& argv, const std::string& input = "") {
    const zymtest::ProcessResult result = zymtest::RunProcess(argv, input);
    if (result.status != 0)
        throw std::runtime_error(argv[0] + " failed: " + result.err);
}

// A real local account for one test, with a random password. Names are
// unique per process and account, so that parallel runs do not meet.
struct TestAccount {
    TestAccount() : name("zymimp" + std::to_string(getpid()) + "x" + std::to_string(ms_Count++)) {
        RunOrThrow(
            {"useradd", "-M", "-s", "/usr/sbin/nologin", "-N", "-g", "users", "-G", "staff", name});
        std::random_device random;
        const std::string secret = "Pw-" + std::to_string(random()) + std::to_string(random());
        password = ZymCharset::FromUtf8(secret);
        RunOrThrow({"chpasswd"}, name + ":" + secret + "\n");
        uid = getpwnam(name.c_str())->pw_uid;
    }
    ~TestAccount() { zymtest::RunProcess({"userdel", name}); }
    std::u16string WideName() const { return ZymCharset::FromUtf8(name); }

    static inline std::atomic<int> ms_Count{0};
    std::string name;
    std::u16string password;
    uid_t uid = 0;
};

// The library's PAM service, where `cmake --install` puts it.
void InstallPamService() {
    const std::string wanted = zymtest::ReadFile(
        ZYM_TEST_DATA_DIR "/../../ZymWindows/src/impersonation/posix/zymwindows.pam");
    if (wanted.empty())
        throw std::runtime_error("cannot read the PAM service file");
    // Written aside and renamed, so that a parallel run never reads half a file.
    const fs::path aside = "/etc/pam.d/.zymwindows." + std::to_string(getpid());
    zymtest::WriteFile(aside, wanted);
    fs::rename(aside, "/etc/pam.d/zymwindows");
}

uid_t OwnerOf(const fs::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        throw std::runtime_error("cannot stat " + path.string());
    return status.st_uid;
}

// Creates a file as whoever the calling thread acts as; its owner.
uid_t CreateAndOwner(const fs::path& path) {
    if (!std::ofstream(path))
        throw std::runtime_error("cannot create " + path.string());
    return OwnerOf(path);
}

std::u16string Sid(const char* kind, std::uint32_t id) {
    return ZymCharset::FromUtf8(std::string("S-1-22-") + kind + "-" + std::to_string(id));
}

// What a thread acts as: its user's SID, then its groups' SIDs, the primary
// group first.
using Ids = std::vector<std::u16string>;

Ids ThreadIds() {
    const auto token = ZymSecurity::NetworkSecurity::GetCurrentThreadHandle();
    Ids ids{token->GetUser().ToString()};
    for (const auto& group : token->GetGroups())
        ids.push_back(group.ToString());
    return ids;
}

// The SIDs of a pipe's identity: names are cached, uids are reused.
std::vector<std::u16string> Sids(const std::vector<ZymSecurity::NetworkID>& ids) {
    std::vector<std::u16string> sids;
    for (const auto& id : ids)
        sids.push_back(id.GetSecurityID()->GetString());
    return sids;
}

// Runs `work` on a thread of its own; rethrows what it raised.
template <typename Work> void OnWorker(Work work) {
    std::async(std::launch::async, work).get();
}

class Body : public ZymThread::Function {
public:
    explicit Body(std::function<void()> work) : m_Work(std::move(work)) {}
    void* Call(void*) override {
        m_Work();
        return nullptr;
    }

private:
    std::function<void()> m_Work;
};

class ImpersonationTest : public testing::Test {
protected:
    void SetUp() override {
        InstallPamService();
        // Every account may create files and pipes here.
        fs::permissions(m_Directory.Path(), fs::perms::all | fs::perms::sticky_bit);
        setenv("ZYM_PIPE_DIR", (m_Directory.Path() / "pipes").c_str(), 1);
        m_Own = ThreadIds();
        m_Dumpable = prctl(PR_GET_DUMPABLE);
    }

    // What a failed logon must leave: its text, and the thread and process
    // as they were.
    void ExpectLogonFails(const std::u16string& domain, const std::u16string& user,
                          const std::u16string& password, unsigned long code) {
        const Ids before = ThreadIds();
        try {
            ZymWindows::Impersonation scope(domain, user, password);
            ADD_FAILURE() << "the logon of " << ZymCharset::ToUtf8(user) << " succeeded";
        } catch (const ZymWindows::WindowsException& error) {
            EXPECT_EQ(error.What(), Zym::GetLastErrorMessage(code));
        }
        EXPECT_EQ(ThreadIds(), before);
    }

    zymtest::ScratchDirectory m_Directory;
    Ids m_Own{};
    int m_Dumpable = 0;
};

TEST_F(ImpersonationTest, ActsAsTheAccountOnItsThreadAloneUntilTheScopeEnds) {
    const TestAccount account;
    ZymThread::EventSemaphore shutdown(true, false);
    // Checked while the scope is open: the rest of the process is itself.
    auto server = std::async(std::launch::async, [&] {
        ZymWindows::ServerNamedPipe pipe(&shutdown);
        pipe.Initialize("impersonation");
        EXPECT_EQ(ThreadIds(), m_Own);
        return std::pair(Sids(pipe.GetImpersonatorNetworkIDs()), Sids(pipe.GetClientNetworkIDs()));
    });
    OnWorker([&] {
        {
            const ZymWindows::Impersonation scope(u"", account.WideName(), account.password);
            EXPECT_EQ(ThreadIds(),
                      (Ids{Sid("1", account.uid), Sid("2", PRIMARY_GROUP), Sid("2", EXTRA_GROUP)}));
            EXPECT_EQ(CreateAndOwner(m_Directory.Path() / "inside"), account.uid);
            ZymWindows::ClientNamedPipe client("impersonation", ".", nullptr);
            try {
                client.Initialize(true, u"");
            } catch (...) {
                shutdown.Set();
                throw;
            }
            // What the kernel says of the connection, and what the client's
            // block says of its thread: groups first, the user last.
            const auto [connecting, claimed] = server.get();
            const std::vector<std::u16string> expected{
                Sid("2", PRIMARY_GROUP), Sid("2", EXTRA_GROUP), Sid("1", account.uid)};
            EXPECT_EQ(connecting, expected);
            EXPECT_EQ(claimed, expected);
        }
        EXPECT_EQ(ThreadIds(), m_Own);
    });
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), m_Dumpable);
}

// Inside a scope (as outside), a failed logon names its cause and keeps the
// thread as it was; a nested scope's end ends both.
TEST_F(ImpersonationTest, FailedLogonsNameTheirCauseAndScopesNest) {
    const TestAccount account, mustChange, expired;
    RunOrThrow({"chage", "-d", "0", mustChange.name});
    RunOrThrow({"chage", "-E", "0", expired.name});
    OnWorker([&] {
        const ZymWindows::Impersonation outer(u".", account.WideName(), account.password);
        for (const auto& [domain, user, password] :
             {std::tuple{u"", account.WideName(), account.password + u"x"},
              {u"", account.WideName() + u"-none", account.password},
              {u"NO-SUCH-DOMAIN", account.WideName(), account.password}})
            ExpectLogonFails(domain, user, password, Zym::ERROR_LOGON_FAILURE);
        ExpectLogonFails(u"", mustChange.WideName(), mustChange.password,
                         Zym::ERROR_PASSWORD_MUST_CHANGE);
        ExpectLogonFails(u"", expired.WideName(), expired.password, Zym::ERROR_ACCOUNT_EXPIRED);
        {
            const ZymWindows::Impersonation inner(ZymWindows::NTNetwork::GetLocalComputerName(),
                                                  account.WideName(), account.password);
        }
        EXPECT_EQ(ThreadIds(), m_Own);
    });
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), m_Dumpable);
}

// The observer's listener is such a thread when the first attach happens
// inside a scope.
TEST_F(ImpersonationTest, AThreadStartedInsideAScopeBeginsAsTheProcess) {
    const TestAccount account;
    OnWorker([&] {
        const ZymWindows::Impersonation scope(u"", account.WideName(), account.password);
        Ids started{};
        uid_t owner = 0;
        const Zym::SmartPtr<ZymThread::Thread> thread = new ZymThread::Thread(
            "StartedInScope", new Body([&] {
                started = ThreadIds();
                owner = CreateAndOwner(m_Directory.Path() / "started");
                // It has the right to impersonate, as the process has.
                const ZymWindows::Impersonation own(u"", account.WideName(), account.password);
            }));
        thread->Run();
        thread->Join();
        EXPECT_EQ(started, m_Own);
        EXPECT_EQ(Sid("1", owner), m_Own.front());
        EXPECT_EQ(ThreadIds().front(), Sid("1", account.uid))
            << "the starting thread went on as the account";
    });
}

// setgroups fails on one thread while `failures` is above 0, through the
// kernel's user notification of a seccomp filter. The supervisor is started
// first, since a thread inherits its starter's filter.
class FailingSetGroups {
public:
    std::atomic<int> failures{0};

    FailingSetGroups() : m_Supervisor([this] { Supervise(m_Listener.get_future().get()); }) {}
    ~FailingSetGroups() { m_Supervisor.join(); }

    // Applies to the calling thread for the rest of its life.
    void Install() {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_setgroups, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        m_Listener.set_value(static_cast<int>(::syscall(
            SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program)));
    }

private:
    // Until the filtered thread has ended.
    void Supervise(int listener) {
        for (pollfd ready{listener, POLLIN, 0};
             listener >= 0 && ::poll(&ready, 1, -1) >= 0 && ready.revents & POLLIN;) {
            seccomp_notif call{};
            if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0)
                continue;
            seccomp_notif_resp answer{};
            answer.id = call.id;
            if (failures.fetch_sub(1) > 0)
                answer.error = -ENOMEM;
            else
                answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
            ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
        }
        ::close(listener);
    }

    std::promise<int> m_Listener;
    std::thread m_Supervisor;
};

// A revert that fails neither ends the process nor lets the thread go on as
// the account: the thread tries again until it is itself.
TEST_F(ImpersonationTest, AFailedRevertWaitsUntilTheThreadIsItself) {
    const TestAccount account;
    FailingSetGroups setGroups;
    OnWorker([&] {
        setGroups.Install();
        {
            const ZymWindows::Impersonation scope(u"", account.WideName(), account.password);
            setGroups.failures = 3;
        }
        EXPECT_EQ(ThreadIds(), m_Own);
        EXPECT_LE(setGroups.failures.load(), 0) << "the revert did not meet every failure";
    });
}

// An account that may not switch is refused before anything is done as the
// other account.
TEST_F(ImpersonationTest, TheCommandRefusesAnAccountThatMayNotSwitch) {
    const TestAccount account;
    const fs::path file = m_Directory.Path() / "touched";
    const auto refused =
        zymtest::RunProcess({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                             ZYMWIN_PATH, "impersonate", account.name, "--touch", file.string()},
                            ZymCharset::ToUtf8(account.password) + "\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "zymwin impersonate: " +
                  ZymCharset::ToUtf8(Zym::GetLastErrorMessage(Zym::ERROR_PRIVILEGE_NOT_HELD)) +
                  "\n");
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
