// zymwin watch, run as a user would: lines read as they come.
#include "ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

using namespace observertest;
namespace fs = std::filesystem;

namespace {

// `zymwin watch ARGS...` with its standard output read line by line.
class WatchProcess {
public:
    explicit WatchProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        m_Err = m_Streams.Path() / "err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, m_Err.c_str(), O_WRONLY | O_CREAT, 0600);
        std::vector<std::string> argv = {ZYMWIN_PATH, "watch"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (auto& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);
        const int spawned =
            posix_spawn(&m_Pid, ZYMWIN_PATH, &actions, nullptr, raw.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_Out = out[0];
        if (spawned != 0)
            throw std::runtime_error("cannot start zymwin");
    }
    ~WatchProcess() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        close(m_Out);
    }

    // The next line, or "<timeout>" / "<eof>".
    std::string ReadLine(std::chrono::milliseconds timeout = EVENT_TIMEOUT) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto newline = m_Buffer.find('\n');
            if (newline != std::string::npos) {
                std::string line = m_Buffer.substr(0, newline);
                m_Buffer.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return "<timeout>";
            pollfd poller{m_Out, POLLIN, 0};
            if (poll(&poller, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char piece[4096];
            const ssize_t got = read(m_Out, piece, sizeof piece);
            if (got <= 0)
                return "<eof>";
            m_Buffer.append(piece, static_cast<std::size_t>(got));
        }
    }
    // Sends `signal` and returns the exit status (-1 if it did not exit).
    int Stop(int signal = SIGTERM) {
        kill(m_Pid, signal);
        return Wait();
    }
    int Wait() {
        int status = 0;
        waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t Pid() const { return m_Pid; }
    std::string Err() const { return zymtest::ReadFile(m_Err); }

private:
    zymtest::ScratchDirectory m_Streams;
    fs::path m_Err;
    pid_t m_Pid = -1;
    int m_Out = -1;
    std::string m_Buffer;
};

} // namespace

TEST(WatchCommand, PrintsReadyThenOneLinePerChangeAndStopsOnSignals) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path();
    fs::create_directory(dir.Path() / "sub");
    for (const int signal : {SIGTERM, SIGINT}) {
        WatchProcess watch({"-r", root});
        ASSERT_EQ(watch.ReadLine(), "ready");
        const std::string name = "f" + std::to_string(signal);
        zymtest::WriteFile(dir.Path() / "sub" / name, "x");
        EXPECT_EQ(watch.ReadLine(), "created " + root + "/sub/" + name);
        EXPECT_EQ(watch.ReadLine(), "modified " + root + "/sub/" + name);
        fs::rename(dir.Path() / "sub" / name, dir.Path() / name);
        EXPECT_EQ(watch.ReadLine(), "deleted " + root + "/sub/" + name);
        EXPECT_EQ(watch.ReadLine(), "created " + root + "/" + name);
        EXPECT_EQ(watch.Stop(signal), 0);
        EXPECT_EQ(watch.Err(), "");
    }
}

TEST(WatchCommand, JsonGivesOneObjectALine) {
    const zymtest::ScratchDirectory one, two;
    WatchProcess watch({"--json", one.Path(), two.Path()});
    ASSERT_EQ(watch.ReadLine(), "ready");
    Touch(two.Path() / "a\"b");
    EXPECT_EQ(watch.ReadLine(),
              "{\"id\":2,\"kind\":\"created\",\"path\":\"" + two.Path().string() + "/a\\\"b\"}");
    fs::remove(two.Path() / "a\"b");
    EXPECT_EQ(watch.ReadLine(),
              "{\"id\":2,\"kind\":\"deleted\",\"path\":\"" + two.Path().string() + "/a\\\"b\"}");
    EXPECT_EQ(watch.Stop(), 0);
}

TEST(WatchCommand, ADeletedDirectoryPrintsAnError) {
    const zymtest::ScratchDirectory dir;
    const std::string watched = dir.Path() / "w";
    fs::create_directory(watched);
    {
        WatchProcess watch({watched});
        ASSERT_EQ(watch.ReadLine(), "ready");
        fs::remove(watched);
        EXPECT_EQ(watch.ReadLine(),
                  "error " + watched + ": The system cannot find the file specified.");
        EXPECT_EQ(watch.Stop(), 0);
    }
    fs::create_directory(watched);
    WatchProcess watch({"--json", watched});
    ASSERT_EQ(watch.ReadLine(), "ready");
    fs::remove(watched);
    EXPECT_EQ(watch.ReadLine(), "{\"id\":1,\"kind\":\"error\",\"path\":\"" + watched +
                                    "\",\"message\":\"The system cannot find the file "
                                    "specified.\"}");
    EXPECT_EQ(watch.Stop(), 0);
}

TEST(WatchCommand, DirectoriesThatCannotBeWatchedAreReported) {
    const zymtest::ScratchDirectory dir;
    const std::string missing = dir.Path() / "missing";
    zymtest::WriteFile(dir.Path() / "file", "");
    {
        WatchProcess watch({missing, dir.Path() / "file"});
        EXPECT_EQ(watch.ReadLine(), "<eof>");
        EXPECT_EQ(watch.Wait(), 1);
        EXPECT_EQ(watch.Err(), "zymwin watch: " + missing +
                                   ": The system cannot find the file specified.\n"
                                   "zymwin watch: " +
                                   (dir.Path() / "file").string() +
                                   ": The directory name is invalid.\n");
    }
    WatchProcess watch({missing, dir.Path()});
    ASSERT_EQ(watch.ReadLine(), "ready");
    Touch(dir.Path() / "seen");
    EXPECT_EQ(watch.ReadLine(), "created " + dir.Path().string() + "/seen");
    EXPECT_EQ(watch.Stop(), 0);
    EXPECT_EQ(watch.Err(),
              "zymwin watch: " + missing + ": The system cannot find the file specified.\n");
}

TEST(WatchCommand, AnOverflowIsPrinted) {
    const zymtest::ScratchDirectory dir;
    // A stopped watcher reads nothing while the files are made, so the
    // system's queue overflows.
    WatchProcess watch({dir.Path()});
    ASSERT_EQ(watch.ReadLine(), "ready");
    kill(watch.Pid(), SIGSTOP);
    for (int i = 0; i < 20000; ++i)
        Touch(dir.Path() / std::to_string(i));
    kill(watch.Pid(), SIGCONT);
    std::string line;
    int created = 0;
    while ((line = watch.ReadLine()).rfind("created ", 0) == 0)
        ++created;
    EXPECT_EQ(line, "overflow " + dir.Path().string());
    EXPECT_LT(created, 20000);
    EXPECT_EQ(watch.Stop(), 0);
}

TEST(WatchCommand, HelpAndUsage) {
    const auto help = zymtest::RunProcess({ZYMWIN_PATH, "watch", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zymwin watch [-r] [--json] DIR..."), std::string::npos);
    const auto bare = zymtest::RunProcess({ZYMWIN_PATH, "watch"});
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(bare.err, "zymwin watch: missing DIR (see 'zymwin watch --help')\n");
}
