#include "Command.h"
#include "DemoFolder.h"
#include "ScopedVariable.h"
#include "impersonation/ImpersonatedWork.h"
#include "impersonation/posix/DemoAccount.h"
#include "pipe/PipeEcho.h"
#include "pipe/PipeReady.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/NamedPipeDaemon.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace zymwin {

namespace {

constexpr const char* DEMO_PIPE = "zymwin-impersonation";

// A folder every account may write to, holding the demo's pipe too.
class SharedFolder {
public:
    SharedFolder() {
        std::filesystem::permissions(Path(), std::filesystem::perms::all |
                                                 std::filesystem::perms::sticky_bit);
    }
    const std::filesystem::path& Path() const { return m_Folder.Path(); }

private:
    const DemoFolder m_Folder{"zymwin-impersonation"};
    const ScopedVariable m_PipeDir{"ZYM_PIPE_DIR", (Path() / "pipes").string()};
};

void ActAs(const DemoAccount& account) {
    std::printf("made the temporary account %s\n", account.Name().c_str());
    const SharedFolder folder;
    Zym::SmartPtr<ZymWindows::NamedPipeDaemon> daemon =
        new ZymWindows::NamedPipeDaemon(DEMO_PIPE, new PipeEcho(stdout), nullptr);
    if (!WaitUntilPipeExists(DEMO_PIPE))
        throw UsageError{"the demo pipe did not appear"};
    ImpersonatedWork work;
    work.user = ZymCharset::FromUtf8(account.Name());
    work.password = ZymCharset::FromUtf8(account.Password());
    work.touch = (folder.Path() / "made-by-the-account").string();
    work.pipeName = DEMO_PIPE;
    work.message = "hello from another account";
    std::fflush(stdout);
    RunImpersonated(work, stdout);
    daemon.Reset();
    struct stat file {};
    const passwd* owner = stat(work.touch.c_str(), &file) == 0 ? getpwuid(file.st_uid) : nullptr;
    std::printf("the file belongs to %s\n", owner ? owner->pw_name : "nobody known");
}

void ImpersonationDemo() {
    if (geteuid() != 0) {
        // Acting as another account needs root: show how the library says so.
        ImpersonatedWork work;
        work.user = u"root";
        try {
            RunImpersonated(work, stdout);
        } catch (const ZymWindows::WindowsException& error) {
            std::printf("as uid %u, acting as root is refused: %s\n", geteuid(),
                        error.WhatUtf8().c_str());
        }
        return;
    }
    std::optional<DemoAccount> account;
    try {
        account.emplace();
    } catch (const UsageError& error) {
        std::printf("no account to act as: %s\n", error.message.c_str());
        return;
    }
    ActAs(*account);
    account.reset();
    std::printf("removed the temporary account\n");
}

const Registration g_ImpersonationDemo(DemoStep{45, "Logon impersonation", ImpersonationDemo});

} // namespace

} // namespace zymwin
