#include "TestAccounts.h"

#include <ZymCharset/Utf.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Impersonation.h>
#include <ZymWindows/NTNetwork.h>
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeServer.h>

#include <Zym/LastError.h>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <algorithm>
#include <barrier>
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
template <typename Body> void OnWorker(Body body) {
    std::async(std::launch::async, body).get();
}

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
            EXPECT_EQ(inside.gid, account.Gid());
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
    const std::vector<std::u16string> expected{Sid("2", account.Gid()), Sid("2", EXTRA_GROUP),
                                               Sid("1", account.Uid())};
    const auto [connecting, claimed] = server.get();
    EXPECT_EQ(connecting, expected);
    EXPECT_EQ(claimed, expected);
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), m_Dumpable);
}

TEST_F(ImpersonationTest, LocalDomainNamesAndNestedScopes) {
    const TestAccount outer, inner;
    OnWorker([&] {
        const ZymWindows::Impersonation first(u".", outer.WideName(), outer.Password());
        EXPECT_EQ(ThreadIds().uid, outer.Uid());
        {
            const ZymWindows::Impersonation second(ZymWindows::NTNetwork::GetLocalComputerName(),
                                                   inner.WideName(), inner.Password());
            EXPECT_EQ(ThreadIds().uid, inner.Uid());
            EXPECT_EQ(CreateAndOwner(m_Directory.Path() / "inner"), inner.Uid());
        }
        // Ending the inner scope ends both.
        EXPECT_EQ(ThreadIds(), m_Own);
    });
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), m_Dumpable);
}

TEST_F(ImpersonationTest, AFailedInnerLogonKeepsTheOuterAccount) {
    const TestAccount outer, inner;
    OnWorker([&] {
        const ZymWindows::Impersonation first(u"", outer.WideName(), outer.Password());
        ExpectLogonFails(u"", inner.WideName(), u"not the password", Zym::ERROR_LOGON_FAILURE);
        EXPECT_EQ(ThreadIds().uid, outer.Uid());
    });
    EXPECT_EQ(ThreadIds(), m_Own);
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

TEST_F(ImpersonationTest, ConcurrentThreadsEachActAsTheirOwnAccount) {
    constexpr int FILES = 50;
    const TestAccount first, second;
    std::barrier allInside(3);
    const auto impersonating = [&](const TestAccount& account, const std::string& prefix) {
        std::optional<ZymWindows::Impersonation> scope;
        try {
            scope.emplace(u"", account.WideName(), account.Password());
        } catch (...) {
            allInside.arrive_and_drop();
            throw;
        }
        allInside.arrive_and_wait();
        for (int i = 0; i < FILES; ++i)
            EXPECT_EQ(CreateAndOwner(m_Directory.Path() / (prefix + std::to_string(i))),
                      account.Uid());
        allInside.arrive_and_wait();
    };
    auto a = std::async(std::launch::async, impersonating, std::cref(first), "a");
    auto b = std::async(std::launch::async, impersonating, std::cref(second), "b");
    allInside.arrive_and_wait();
    for (int i = 0; i < FILES; ++i)
        EXPECT_EQ(CreateAndOwner(m_Directory.Path() / ("own" + std::to_string(i))), m_Own.uid);
    allInside.arrive_and_wait();
    a.get();
    b.get();
    EXPECT_EQ(ThreadIds(), m_Own);
    EXPECT_EQ(prctl(PR_GET_DUMPABLE), m_Dumpable);
}

} // namespace

} // namespace impersonationtest
