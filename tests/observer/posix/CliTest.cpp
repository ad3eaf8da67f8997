// zymwin watch on Linux: signals, recursion, JSON and lost directories.
#include "../ObserverTestSupport.h"
#include "Child.h"

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

TEST(WatchCommand, RecursiveWatchStopsCleanlyOnSignals) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path();
    fs::create_directory(dir.Path() / "sub");
    for (const int signal : {SIGTERM, SIGINT}) {
        auto watch = Watch({"-r", root});
        ASSERT_EQ(watch.ReadLine(), "ready");
        const std::string name = "f" + std::to_string(signal);
        zymtest::WriteFile(dir.Path() / "sub" / name, "x");
        fs::rename(dir.Path() / "sub" / name, dir.Path() / name);
        for (const std::string& line :
             {"created " + root + "/sub/" + name, "modified " + root + "/sub/" + name,
              "deleted " + root + "/sub/" + name, "created " + root + "/" + name})
            EXPECT_EQ(watch.ReadLine(), line);
        const auto stopped = watch.Stop(signal);
        EXPECT_EQ(stopped.status, 0);
        EXPECT_EQ(stopped.err, "");
    }
}

// A deleted directory prints an error, in either form; a directory that
// cannot be watched is reported, and the watch goes on with the others.
TEST(WatchCommand, JsonGivesOneObjectALineAndErrorsAreReported) {
    const zymtest::ScratchDirectory dir;
    const std::string one = dir.Path() / "one", two = dir.Path() / "two",
                      missing = dir.Path() / "missing";
    fs::create_directory(one);
    fs::create_directory(two);
    auto json = Watch({"--json", one, two});
    ASSERT_EQ(json.ReadLine(), "ready");
    Touch(two + "/a\"b");
    EXPECT_EQ(json.ReadLine(), "{\"id\":2,\"kind\":\"created\",\"path\":\"" + two + "/a\\\"b\"}");
    fs::remove(one);
    EXPECT_EQ(json.ReadLine(), "{\"id\":1,\"kind\":\"error\",\"path\":\"" + one +
                                   "\",\"message\":\"The system cannot find the file "
                                   "specified.\"}");
    EXPECT_EQ(json.Stop(SIGTERM).status, 0);

    auto text = Watch({missing, two});
    ASSERT_EQ(text.ReadLine(), "ready");
    fs::remove_all(two);
    EXPECT_EQ(text.ReadLine(), "deleted " + two + "/a\"b");
    EXPECT_EQ(text.ReadLine(), "error " + two + ": The system cannot find the file specified.");
    const auto stopped = text.Stop(SIGTERM);
    EXPECT_EQ(stopped.status, 0);
    EXPECT_EQ(stopped.err,
              "zymwin watch: " + missing + ": The system cannot find the file specified.\n");
}
