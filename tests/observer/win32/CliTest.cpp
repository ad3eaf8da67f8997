// zymwin watch on Windows, run as a user would: lines read as they come.
#include "../ObserverTestSupport.h"
#include "Child.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace observertest;
namespace fs = std::filesystem;

// Ctrl-C cannot be sent to a child without a console of its own: the watch
// is killed, and only what it printed before counts.
TEST(WatchCommand, PrintsReadyThenOneLinePerChangeWithWindowsPaths) {
    const zymtest::ScratchDirectory dir;
    const std::string root = dir.Path().string();
    zymtest::Child watch({ZYMWIN_PATH, "watch", root});
    ASSERT_EQ(watch.ReadLine(), "ready");
    zymtest::WriteFile(dir.Path() / "new.txt", "x");
    EXPECT_EQ(watch.ReadLine(), "created " + root + "\\new.txt");
    fs::remove(dir.Path() / "new.txt");
    EXPECT_EQ(watch.ReadLinesUntil("deleted").back(), "deleted " + root + "\\new.txt");
    watch.Kill();

    const auto bare = zymtest::RunProcess({ZYMWIN_PATH, "watch"});
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(zymtest::SplitLines(bare.err),
              std::vector<std::string>{"zymwin watch: missing DIR (see 'zymwin watch --help')"});
    const auto missing = zymtest::RunProcess({ZYMWIN_PATH, "watch", root + "\\missing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(zymtest::SplitLines(missing.err),
              std::vector<std::string>{"zymwin watch: " + root +
                                       "\\missing: The system cannot find the file specified."});
}
