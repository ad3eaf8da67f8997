#include "TestAccounts.h"

#include <ZymCharset/Utf.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Impersonation.h>
#include <ZymWindows/NTNetwork.h>
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeServer.h>

#include <Zym/LastError.h>

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

namespace impersonationtest {

namespace {

using ZymSecurity::NetworkSecurity;

struct Ids {
    std::uint32_t uid;
    std::uint32_t gid;
    std::vector<std::uint32_t> groups;
    bool operator==(const Ids&) const = default;
};

Ids ThreadIds() {
    const auto token = NetworkSecurity::GetCurrentThreadHandle();
    return {token->GetUid(), token->GetGid(), token->GetGroups()};
}

bool HasGroup(const Ids& ids, std::uint32_t group) {
    return std::find(ids.groups.begin(), ids.groups.end(), group) != ids.groups.end();
}

class ImpersonationTest : public testing::Test {
protected:
    void SetUp() override {
        InstallPamService();
        m_Own = ThreadIds();
        m_Dumpable = prctl(PR_GET_DUMPABLE);
    }

    // What a failed logon must leave: its text, and the thread and process
    // as they were.
    void ExpectLogonFails(const std::u16string& domain, const std::u16string& user,
                          const std::u16string& password, unsigned long code) {
        const Ids before = ThreadIds();
        const int dumpable = prctl(PR_GET_DUMPABLE);
        try {
            ZymWindows::Impersonation scope(domain, user, password);
            ADD_FAILURE() << "the logon of " << ZymCharset::ToUtf8(user) << " succeeded";
        } catch (const ZymWindows::WindowsException& error) {
            EXPECT_EQ(error.What(), Zym::GetLastErrorMessage(code));
        }
        EXPECT_EQ(ThreadIds(), before);
        EXPECT_EQ(prctl(PR_GET_DUMPABLE), dumpable);
    }

    SharedDirectory m_Directory;
    Ids m_Own{};
    int m_Dumpable = 0;
};

// The SIDs of a pipe's identity. Names would do as well, but a process
// keeps the names it has looked up, and a test account's uid is reused by
// the next one once it is removed.
std::vector<std::u16string> Sids(const std::vector<ZymSecurity::NetworkID>& ids) {
    std::vector<std::u16string> sids;
    for (const auto& id : ids)
        sids.push_back(id.GetSecurityID()->GetString());
    return sids;
}

std::u16string Sid(const char* kind, std::uint32_t id) {
    return ZymCharset::FromUtf8(std::string("S-1-22-") + kind + "-" + std::to_string(id));
}

// Runs `body` on a thread of its own and rethrows what it raised.
template <typename Work> void OnWorker(Work work) {
    std::async(std::launch::async, work).get();
}

// A framework thread body.
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

TEST_F(ImpersonationTest, ActsAsTheAccountOnItsThreadAloneUntilTheScopeEnds) {
    const TestAccount account;
    const std::string pipeName = "impersonation";
    std::promise<void> scopeOpen, othersChecked;
    // Ends the server's wait if the worker never connects.
    ZymThread::EventSemaphore serverShutdown(true, false);
    auto server = std::async(std::launch::async, [&] {
        ZymWindows::ServerNamedPipe pipe(&serverShutdown);
        pipe.Initialize(pipeName);
        return std::pair(Sids(pipe.GetImpersonatorNetworkIDs()), Sids(pipe.GetClientNetworkIDs()));
    });
    auto worker = std::async(std::launch::async, [&] {
        // Whatever happens, the main thread gets to go on.
        const std::unique_ptr<std::promise<void>, void (*)(std::promise<void>*)> opened(
            &scopeOpen, [](std::promise<void>* open) {
                try {
                    open->set_value();
                } catch (const std::future_error&) {
                }
            });
        {
            const ZymWindows::Impersonation scope(u"", account.WideName(), account.Password());
            const Ids inside = ThreadIds();
            EXPECT_EQ(inside.uid, account.Uid());
            EXPECT_EQ(inside.gid, PRIMARY_GROUP);
            EXPECT_TRUE(HasGroup(inside, EXTRA_GROUP));
            EXPECT_FALSE(HasGroup(inside, 0));
            EXPECT_EQ(CreateAndOwner(m_Directory.Path() / "inside"), account.Uid());
            ZymWindows::ClientNamedPipe client(pipeName, ".", nullptr);
            client.Initialize(true, u"");
            scopeOpen.set_value();
            othersChecked.get_future().wait();
        }
        EXPECT_EQ(ThreadIds(), m_Own);
        EXPECT_EQ(CreateAndOwner(m_Directory.Path() / "after"), m_Own.uid);
    });
    scopeOpen.get_future().wait();
    // The rest of the process keeps its identity while the scope is open.
    EXPECT_EQ(ThreadIds(), m_Own);
    EXPECT_EQ(NetworkSecurity::GetCurrentProcessHandle()->GetUid(), m_Own.uid);
    EXPECT_EQ(CreateAndOwner(m_Directory.Path() / "beside"), m_Own.uid);
    othersChecked.set_value();
    try {
        worker.get();
    } catch (...) {
        serverShutdown.Set();
        throw;
    }
    // What the kernel says of the connection, and what the client's block
    // says of its thread: groups first, the user last.
    const std::vector<std::u16string> expected{Sid("2", PRIMARY_GROUP), Sid("2", EXTRA_GROUP),
                                               Sid("1", account.Uid())};
    const auto [connecting, claimed] = server.get();
    EXPECT_EQ(connecting, expected);
    EXPECT_EQ(claimed, expected);
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), m_Dumpable);
}

// A failed inner logon keeps the outer account; ending the inner scope
// ends both.
TEST_F(ImpersonationTest, LocalDomainNamesAndNestedScopes) {
    const TestAccount outer, inner;
    OnWorker([&] {
        const ZymWindows::Impersonation first(u".", outer.WideName(), outer.Password());
        ExpectLogonFails(u"", inner.WideName(), u"not the password", Zym::ERROR_LOGON_FAILURE);
        EXPECT_EQ(ThreadIds().uid, outer.Uid());
        {
            const ZymWindows::Impersonation second(ZymWindows::NTNetwork::GetLocalComputerName(),
                                                   inner.WideName(), inner.Password());
            EXPECT_EQ(CreateAndOwner(m_Directory.Path() / "inner"), inner.Uid());
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
        const ZymWindows::Impersonation scope(u"", account.WideName(), account.Password());
        Ids started{};
        uid_t owner = 0;
        const Zym::SmartPtr<ZymThread::Thread> thread = new ZymThread::Thread(
            "StartedInScope", new Body([&] {
                started = ThreadIds();
                owner = CreateAndOwner(m_Directory.Path() / "started");
                // It has the right to impersonate, as the process has.
                const ZymWindows::Impersonation own(u"", account.WideName(), account.Password());
            }));
        thread->Run();
        thread->Join();
        EXPECT_FALSE(thread->EndedByException());
        EXPECT_EQ(started, m_Own);
        EXPECT_EQ(owner, m_Own.uid);
        EXPECT_EQ(ThreadIds().uid, account.Uid()) << "the starting thread went on as the account";
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
            const ZymWindows::Impersonation scope(u"", account.WideName(), account.Password());
            setGroups.failures = 3;
        }
        EXPECT_EQ(ThreadIds(), m_Own);
        EXPECT_LE(setGroups.failures.load(), 0) << "the revert did not meet every failure";
    });
}

TEST_F(ImpersonationTest, FailedLogonsNameTheirCause) {
    const TestAccount account, mustChange, expired;
    for (const auto& [domain, user, password] :
         {std::tuple{u"", account.WideName(), account.Password() + u"x"},
          {u"", account.WideName(), u""},
          {u"", account.WideName() + u"-none", account.Password()},
          {u"NO-SUCH-DOMAIN", account.WideName(), account.Password()}})
        ExpectLogonFails(domain, user, password, Zym::ERROR_LOGON_FAILURE);
    mustChange.Chage({"-d", "0"});
    ExpectLogonFails(u"", mustChange.WideName(), mustChange.Password(),
                     Zym::ERROR_PASSWORD_MUST_CHANGE);
    expired.Chage({"-E", "0"});
    ExpectLogonFails(u"", expired.WideName(), expired.Password(), Zym::ERROR_ACCOUNT_EXPIRED);
}

} // namespace

} // namespace impersonationtest
