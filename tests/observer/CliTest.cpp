// zymwin watch, run as a user would: lines read as they come.
#include "Child.h"
#include "ObserverTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace observertest;
namespace fs = std::filesystem;

namespace {

zymtest::Child Watch(std::vector<std::string> args) {
    args.insert(args.begin(), {ZYMWIN_PATH, "watch"});
    return zymtest::Child(args);
}

} // namespace

TEST(WatchCommand, PrintsReadyThenOneLinePerChangeAndStopsOnSignals) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path();
    fs::create_directory(dir.Path() / "sub");
    for (const int signal : {SIGTERM, SIGINT}) {
        auto watch = Watch({"-r", root});
        ASSERT_EQ(watch.ReadLine(), "ready");
        const std::string name = "f" + std::to_string(signal);
        zymtest::WriteFile(dir.Path() / "sub" / name, "x");
        EXPECT_EQ(watch.ReadLine(), "created " + root + "/sub/" + name);
        EXPECT_EQ(watch.ReadLine(), "modified " + root + "/sub/" + name);
        fs::rename(dir.Path() / "sub" / name, dir.Path() / name);
        EXPECT_EQ(watch.ReadLine(), "deleted " + root + "/sub/" + name);
        EXPECT_EQ(watch.ReadLine(), "created " + root + "/" + name);
        const auto stopped = watch.Stop(signal);
        EXPECT_EQ(stopped.status, 0);
        EXPECT_EQ(stopped.err, "");
    }
}

// A deleted directory prints an error, in either form.
TEST(WatchCommand, JsonGivesOneObjectALineErrorsIncluded) {
    const zymtest::ScratchDirectory dir;
    const std::string one = dir.Path() / "one", two = dir.Path() / "two";
    fs::create_directory(one);
    fs::create_directory(two);
    auto json = Watch({"--json", one, two});
    ASSERT_EQ(json.ReadLine(), "ready");
    Touch(two + "/a\"b");
    EXPECT_EQ(json.ReadLine(), "{\"id\":2,\"kind\":\"created\",\"path\":\"" + two + "/a\\\"b\"}");
    fs::remove(two + "/a\"b");
    EXPECT_EQ(json.ReadLine(), "{\"id\":2,\"kind\":\"deleted\",\"path\":\"" + two + "/a\\\"b\"}");
    fs::remove(one);
    EXPECT_EQ(json.ReadLine(), "{\"id\":1,\"kind\":\"error\",\"path\":\"" + one +
                                   "\",\"message\":\"The system cannot find the file "
                                   "specified.\"}");
    EXPECT_EQ(json.Stop(SIGTERM).status, 0);

    auto text = Watch({two});
    ASSERT_EQ(text.ReadLine(), "ready");
    fs::remove(two);
    EXPECT_EQ(text.ReadLine(), "error " + two + ": The system cannot find the file specified.");
    EXPECT_EQ(text.Stop(SIGTERM).status, 0);
}

TEST(WatchCommand, DirectoriesThatCannotBeWatchedAreReported) {
    const zymtest::ScratchDirectory dir;
    const std::string missing = dir.Path() / "missing";
    zymtest::WriteFile(dir.Path() / "file", "");
    {
        auto watch = Watch({missing, dir.Path() / "file"});
        EXPECT_EQ(watch.ReadLine(), "<eof>");
        const auto ended = watch.Wait();
        EXPECT_EQ(ended.status, 1);
        EXPECT_EQ(ended.err, "zymwin watch: " + missing +
                                 ": The system cannot find the file specified.\n"
                                 "zymwin watch: " +
                                 (dir.Path() / "file").string() +
                                 ": The directory name is invalid.\n");
    }
    auto watch = Watch({missing, dir.Path()});
    ASSERT_EQ(watch.ReadLine(), "ready");
    Touch(dir.Path() / "seen");
    EXPECT_EQ(watch.ReadLine(), "created " + dir.Path().string() + "/seen");
    const auto stopped = watch.Stop(SIGTERM);
    EXPECT_EQ(stopped.status, 0);
    EXPECT_EQ(stopped.err,
              "zymwin watch: " + missing + ": The system cannot find the file specified.\n");
}

TEST(WatchCommand, AnOverflowIsPrinted) {
    const zymtest::ScratchDirectory dir;
    // A stopped watcher reads nothing while the files are made, so the
    // system's queue overflows.
    auto watch = Watch({dir.Path()});
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
    EXPECT_EQ(watch.Stop(SIGTERM).status, 0);
}

TEST(WatchCommand, HelpAndUsage) {
    const auto help = zymtest::RunProcess({ZYMWIN_PATH, "watch", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zymwin watch [-r] [--json] DIR..."), std::string::npos);
    const auto bare = zymtest::RunProcess({ZYMWIN_PATH, "watch"});
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(bare.err, "zymwin watch: missing DIR (see 'zymwin watch --help')\n");
}
