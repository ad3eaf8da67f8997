#include "impersonation/posix/DemoAccount.h"

#include "Command.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <vector>

extern char** environ;

namespace zymwin {

namespace {

// Runs a program with `input` on its standard input; true when it exits 0.
bool Run(std::vector<std::string> argv, const std::string& input = "") {
    int toChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    if (spawned == 0 && !input.empty())
        (void)!write(toChild[1], input.data(), input.size());
    close(toChild[1]);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

DemoAccount::DemoAccount() : m_Name("zymdemo" + std::to_string(getpid())) {
    std::random_device random;
    m_Password = "Demo-" + std::to_string(random()) + "-" + std::to_string(random());
    if (!Run({"useradd", "-M", "-s", "/usr/sbin/nologin", m_Name}))
        throw UsageError{"useradd could not make the demo account " + m_Name};
    if (!Run({"chpasswd"}, m_Name + ":" + m_Password + "\n")) {
        Run({"userdel", m_Name});
        throw UsageError{"chpasswd could not set the demo account's password"};
    }
}

DemoAccount::~DemoAccount() {
    Run({"userdel", m_Name});
}

} // namespace zymwin
