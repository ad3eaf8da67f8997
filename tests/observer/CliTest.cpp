// zymwin watch, run as a user would: lines read as they come.
#include "Child.h"
#include "ObserverTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace observertest;
namespace fs = std::filesystem;

// The watch is killed: only what it printed before counts.
TEST(WatchCommand, PrintsReadyThenOneLinePerChangeWithTheSystemsPaths) {
    const zymtest::ScratchDirectory dir;
    const std::string file = (dir.Path() / "new.txt").string();
    zymtest::Child watch({ZYMWIN_PATH, "watch", dir.Path().string()});
    ASSERT_EQ(watch.ReadLine(), "ready");
    zymtest::WriteFile(file, "x");
    EXPECT_EQ(watch.ReadLine(), "created " + file);
    fs::remove(file);
    EXPECT_EQ(watch.ReadLinesUntil("deleted").back(), "deleted " + file);
    watch.Kill();

    const auto help = zymtest::RunProcess({ZYMWIN_PATH, "watch", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zymwin watch [-r] [--json] DIR..."), std::string::npos);
    const auto bare = zymtest::RunProcess({ZYMWIN_PATH, "watch"});
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(zymtest::SplitLines(bare.err),
              std::vector<std::string>{"zymwin watch: missing DIR (see 'zymwin watch --help')"});
    const std::string missing = (dir.Path() / "missing").string();
    const auto none = zymtest::RunProcess({ZYMWIN_PATH, "watch", missing});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(zymtest::SplitLines(none.err),
              std::vector<std::string>{"zymwin watch: " + missing +
                                       ": The system cannot find the file specified."});
}
