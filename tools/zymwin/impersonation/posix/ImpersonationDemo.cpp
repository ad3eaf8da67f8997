#include "Command.h"
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
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zymwin-impersonation-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw UsageError{"cannot create a temporary folder"};
        m_Path = pattern;
        std::filesystem::permissions(m_Path, std::filesystem::perms::all |
                                                 std::filesystem::perms::sticky_bit);
        if (const char* previous = std::getenv("ZYM_PIPE_DIR"))
            m_PreviousPipeDir = previous;
        setenv("ZYM_PIPE_DIR", (m_Path / "pipes").c_str(), 1);
    }
    ~SharedFolder() {
        if (m_PreviousPipeDir.empty())
            unsetenv("ZYM_PIPE_DIR");
        else
            setenv("ZYM_PIPE_DIR", m_PreviousPipeDir.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    SharedFolder(const SharedFolder&) = delete;
    SharedFolder& operator=(const SharedFolder&) = delete;
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
    std::string m_PreviousPipeDir;
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
