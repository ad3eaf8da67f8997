#include "LocalAccount.h"
#include "Wine.h"

#include <Zym/LastError.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Impersonation.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <lmcons.h>

#include <future>
#include <string>

namespace {

// Measured with Wine 8: every logon succeeds, and ImpersonateLoggedOnUser
// refuses the token it hands out (6, "The handle is invalid.").
constexpr const char* WINE_LOGON =
    "LogonUserW accepts any account and password and gives a token that cannot be impersonated";

std::u16string UserName() {
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!::GetUserNameW(name, &size))
        return u"?";
    return std::u16string(reinterpret_cast<const char16_t*>(name), size - 1);
}

// Whether the calling thread has a token of its own, which only an
// impersonation gives it.
bool Impersonates() {
    HANDLE token = nullptr;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token))
        return ::GetLastError() != ERROR_NO_TOKEN;
    ::CloseHandle(token);
    return true;
}

// The error text of a logon that must fail; the thread is itself after it.
std::u16string LogonFailure(const std::u16string& user, const std::u16string& password) {
    try {
        const ZymWindows::Impersonation scope(u".", user, password);
        ADD_FAILURE() << "the logon succeeded";
    } catch (const ZymWindows::WindowsException& error) {
        EXPECT_FALSE(Impersonates());
        return error.What();
    }
    return {};
}

// Runs `work` on a thread of its own, since an impersonation belongs to
// one; rethrows what it raised.
template <typename Work> void OnWorker(Work work) {
    std::async(std::launch::async, work).get();
}

} // namespace

TEST(ImpersonationTest, AWrongPasswordOrUnknownAccountFailsAndTheThreadStaysItself) {
    std::u16string wrongPassword, unknownUser;
    OnWorker([&] {
        const std::u16string own = UserName();
        wrongPassword = LogonFailure(own, u"not the password");
        unknownUser = LogonFailure(u"zym-nobody-at-all", u"x");
        // The system would read the name only up to the NUL, so it never
        // sees it.
        EXPECT_EQ(LogonFailure(own + u'\0' + u"x", u"x"),
                  Zym::GetLastErrorMessage(ERROR_LOGON_FAILURE));
        EXPECT_EQ(UserName(), own);
    });
    ZYMTEST_SKIP_UNDER_WINE(WINE_LOGON);
    EXPECT_EQ(wrongPassword, Zym::GetLastErrorMessage(ERROR_LOGON_FAILURE));
    EXPECT_EQ(unknownUser, Zym::GetLastErrorMessage(ERROR_LOGON_FAILURE));
}

// A service logon needs its right; with it the thread, and only the
// thread, acts as the account until the scope ends. A nested scope's end
// ends both.
TEST(ImpersonationTest, ActsAsTheAccountOnItsThreadAloneOnceItMayLogOnAsAService) {
    ZYMTEST_SKIP_UNDER_WINE(WINE_LOGON);
    zymtest::LocalAccount account, expired;
    expired.GrantServiceLogon();
    expired.Expire();
    const std::u16string own = UserName();
    OnWorker([&] {
        EXPECT_EQ(LogonFailure(account.Name(), account.Password()),
                  Zym::GetLastErrorMessage(ERROR_LOGON_TYPE_NOT_GRANTED));
        EXPECT_EQ(LogonFailure(expired.Name(), expired.Password()),
                  Zym::GetLastErrorMessage(ERROR_ACCOUNT_EXPIRED));
        account.GrantServiceLogon();
        {
            const ZymWindows::Impersonation outer(u".", account.Name(), account.Password());
            EXPECT_EQ(UserName(), account.Name());
            OnWorker([&] { EXPECT_EQ(UserName(), own); });
            {
                const ZymWindows::Impersonation inner(u".", account.Name(), account.Password());
                EXPECT_EQ(UserName(), account.Name());
            }
            EXPECT_FALSE(Impersonates());
        }
        EXPECT_EQ(UserName(), own);
    });
}
