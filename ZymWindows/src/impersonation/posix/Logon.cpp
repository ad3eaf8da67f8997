#include "../ImpersonationPlatform.h"

#include "LogonToken.h"
#include "PamLogon.h"

#include <Zym/LastError.h>
#include <Zym/NoCase.h>
#include <ZymCharset/Utf.h>
#include <ZymNetwork/ComputerName.h>

#include <grp.h>
#include <pwd.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace ZymWindows::Platform {

namespace {

unsigned long Fail(unsigned long error) {
    Zym::SetLastError(error);
    return error;
}

// A local account goes to PAM by its name, any other as "user@domain".
std::string AccountName(const std::u16string& domain, const std::u16string& user) {
    const bool local = domain.empty() || domain == u"." ||
                       Zym::WNoCase::IsEqual(domain, ZymNetwork::GetComputerName());
    return ZymCharset::ToUtf8(local ? user : user + u"@" + domain);
}

// The account's ids as a login would set them: its user and primary group
// from the account database, and every group that lists it.
unsigned long AccountIds(const std::string& name, ThreadIds& ids) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (const int err = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) {
        if (err != ERANGE)
            return Fail(Zym::Win32ErrorFromErrno(err));
        buffer.resize(buffer.size() * 2);
    }
    if (!found)
        return Fail(Zym::ERROR_NO_SUCH_USER);
    ids.uid = entry.pw_uid;
    ids.gid = entry.pw_gid;
    int count = 16;
    ids.groups.resize(count);
    while (getgrouplist(name.c_str(), entry.pw_gid, ids.groups.data(), &count) < 0)
        ids.groups.resize(count);
    ids.groups.resize(count);
    return Zym::ERROR_SUCCESS;
}

// Keeps the password out of freed memory.
struct WipedString : std::string {
    explicit WipedString(std::string&& text) : std::string(std::move(text)) {}
    ~WipedString() { explicit_bzero(data(), size()); }
};

} // namespace

unsigned long LogonUser(const std::u16string& domain, const std::u16string& user,
                        const std::u16string& password, LogonToken*& token) {
    if (user.empty() || user.find(u'\0') != std::u16string::npos ||
        password.find(u'\0') != std::u16string::npos)
        return Fail(Zym::ERROR_LOGON_FAILURE);
    // PAM reads the account database with the thread's own rights, also
    // when the thread impersonates somebody else at the moment.
    const OwnIdsScope own;
    if (own.Error() != Zym::ERROR_SUCCESS)
        return Fail(own.Error());
    // A caller that could not act as the account does not get to try its
    // password; without the rights PAM would only say "wrong password".
    if (!MayChangeIds())
        return Fail(Zym::ERROR_PRIVILEGE_NOT_HELD);
    const WipedString secret(ZymCharset::ToUtf8(password));
    std::string pamUser;
    if (const unsigned long error = PamLogon(AccountName(domain, user), secret, pamUser);
        error != Zym::ERROR_SUCCESS)
        return error;
    auto logon = std::make_unique<LogonToken>();
    if (const unsigned long error = AccountIds(pamUser, logon->ids); error != Zym::ERROR_SUCCESS)
        return error;
    token = logon.release();
    return Zym::ERROR_SUCCESS;
}

void CloseLogonToken(LogonToken* token) noexcept {
    delete token;
}

unsigned long ImpersonateLoggedOnUser(const LogonToken& token) {
    return TakeOnIds(token.ids);
}

void RevertToSelf() noexcept {
    ReturnToOwnIds();
}

} // namespace ZymWindows::Platform
