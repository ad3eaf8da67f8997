#include "TestFiles.h"

#include <ZymFile/Path.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using zymtest::CommandOutput;

// What df, an independent reader of the mount table and of statvfs, says.
std::string Df(const std::string& column, const std::string& path) {
    const std::string command = "df --output=" + column + " -B1 '" + path + "' | tail -n 1";
    std::string output = CommandOutput(command);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output.substr(output.find_first_not_of(' '));
}

} // namespace

TEST(Path, RootIsTheMountPointThatHoldsThePath) {
    const zymtest::ScratchDirectory onRoot;
    EXPECT_EQ(ZymFile::Path(onRoot.Path().string()).Root().Str(), Df("target", onRoot.Path()));
    EXPECT_EQ(ZymFile::Path("/proc/self/status").Root().Str(), "/proc");
    EXPECT_EQ(ZymFile::Path("/").Root().Str(), "/");
    if (std::filesystem::is_directory("/dev/shm")) {
        const zymtest::ScratchDirectory onShm("/dev/shm");
        const std::string expected = Df("target", onShm.Path());
        EXPECT_EQ(ZymFile::Path(onShm.Path().string() + "/not/there/yet").Root().Str(), expected);
        // A link is placed where it leads.
        std::filesystem::create_directory_symlink(onShm.Path(), onRoot.Path() / "link");
        EXPECT_EQ(ZymFile::Path((onRoot.Path() / "link/file").string()).Root().Str(), expected);
        EXPECT_EQ(ZymFile::WPath(u"/dev/shm/t\u00e9st").Root().Str(),
                  std::u16string(expected.begin(), expected.end()));
    }
    const auto here = std::filesystem::current_path();
    EXPECT_EQ(ZymFile::Path("").Root(), ZymFile::Path(here.string()).Root());
    EXPECT_EQ(ZymFile::Path("relative/file").Root(), ZymFile::Path(here.string()).Root());
}

TEST(Path, AvailableSpaceMatchesWhatDfReports) {
    const zymtest::ScratchDirectory directory;
    const long long ours =
        ZymFile::Path(directory.Path().string() + "/missing").GetAvailableDiskSpace();
    const long long theirs = std::stoll(Df("avail", directory.Path()));
    // Other programs may write meanwhile; a different statistic would be
    // off by far more (the blocks kept for root are 5% by default).
    EXPECT_NEAR(static_cast<double>(ours), static_cast<double>(theirs), 64.0 * 1024 * 1024);
    EXPECT_GT(ours, 0);
}
