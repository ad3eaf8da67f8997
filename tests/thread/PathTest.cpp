#include "CommandOutput.h"

#include <ZymFile/Path.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// What df, an independent reader of the mount table and of statvfs, says.
std::string Df(const std::string& column, const std::string& path) {
    const std::string command = "df --output=" + column + " -B1 '" + path + "' | tail -n 1";
    std::string output = CommandOutput(command);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output.substr(output.find_first_not_of(' '));
}

class Directory {
public:
    explicit Directory(const std::filesystem::path& parent) {
        std::string pattern = (parent / "zym-path-XXXXXX").string();
        m_Path = ::mkdtemp(pattern.data());
    }
    ~Directory() { std::filesystem::remove_all(m_Path); }
    const std::filesystem::path& Get() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};

} // namespace

TEST(Path, RootIsTheMountPointThatHoldsThePath) {
    Directory onRoot(std::filesystem::temp_directory_path());
    EXPECT_EQ(ZymFile::Path(onRoot.Get().string()).Root().Str(), Df("target", onRoot.Get()));
    EXPECT_EQ(ZymFile::Path("/proc/self/status").Root().Str(), "/proc");
    EXPECT_EQ(ZymFile::Path("/").Root().Str(), "/");
    if (std::filesystem::is_directory("/dev/shm")) {
        Directory onShm("/dev/shm");
        const std::string expected = Df("target", onShm.Get());
        EXPECT_EQ(ZymFile::Path(onShm.Get().string() + "/not/there/yet").Root().Str(), expected);
        // A link is placed where it leads.
        std::filesystem::create_directory_symlink(onShm.Get(), onRoot.Get() / "link");
        EXPECT_EQ(ZymFile::Path((onRoot.Get() / "link/file").string()).Root().Str(), expected);
        EXPECT_EQ(ZymFile::WPath(u"/dev/shm/t\u00e9st").Root().Str(),
                  std::u16string(expected.begin(), expected.end()));
    }
    const auto here = std::filesystem::current_path();
    EXPECT_EQ(ZymFile::Path("").Root(), ZymFile::Path(here.string()).Root());
    EXPECT_EQ(ZymFile::Path("relative/file").Root(), ZymFile::Path(here.string()).Root());
}

TEST(Path, AvailableSpaceMatchesWhatDfReports) {
    Directory directory(std::filesystem::temp_directory_path());
    const long long ours =
        ZymFile::Path(directory.Get().string() + "/missing").GetAvailableDiskSpace();
    const long long theirs = std::stoll(Df("avail", directory.Get()));
    // Other programs may write meanwhile; a different statistic would be
    // off by far more (the blocks kept for root are 5% by default).
    EXPECT_NEAR(static_cast<double>(ours), static_cast<double>(theirs), 64.0 * 1024 * 1024);
    EXPECT_GT(ours, 0);
}
