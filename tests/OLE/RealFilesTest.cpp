#include "CfbBuilder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace zymtest;
namespace fs = std::filesystem;

namespace {

const std::string PYTHON = "/usr/bin/python3";
const fs::path SAMPLES = fs::path(ZYM_TEST_DATA_DIR) / "cfb";
// Beside this file; found from the data folder, whose path is absolute
// wherever the build puts the sources.
const fs::path COMPARE = fs::path(ZYM_TEST_DATA_DIR).parent_path() / "OLE" / "olefile_compare.py";

// The reference reader and the tools that make the files are Linux
// programs; a Wine process can start one but never learns how it ended.
constexpr bool HOST_TOOLS_RUN =
#ifdef _WIN32
    false;
#else
    true;
#endif
constexpr const char* NO_HOST_TOOLS =
    "Wine starts Linux programs (olefile's Python) without their exit status";

// Runs the olefile comparison over the files and reports its findings.
void ExpectAgreementWithOlefile(const std::vector<std::string>& files) {
    std::vector<std::string> argv{PYTHON, COMPARE.string(), ZYMWIN_PATH};
    argv.insert(argv.end(), files.begin(), files.end());
    const ProcessResult result = RunProcess(argv);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
}

} // namespace

TEST(RealFiles, LibreOfficeDocumentsAgreeWithOlefile) {
    if (!HOST_TOOLS_RUN)
        GTEST_SKIP() << NO_HOST_TOOLS;
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(SAMPLES))
        files.push_back(entry.path().string());
    ASSERT_FALSE(files.empty());
    std::sort(files.begin(), files.end());
    ExpectAgreementWithOlefile(files);
}

TEST(RealFiles, FilesMadeByGsfAndMsibuildAgreeWithOlefile) {
    if (!HOST_TOOLS_RUN)
        GTEST_SKIP() << NO_HOST_TOOLS;
    if (!fs::exists("/usr/bin/gsf") || !fs::exists("/usr/bin/msibuild"))
        GTEST_SKIP() << "gsf (libgsf-bin) and msibuild (msitools) are needed";
    ScratchDirectory scratch;
    const fs::path tree = scratch.Path() / "tree";
    fs::create_directories(tree / "sub" / "deeper");
    const std::pair<const char*, std::size_t> files[] = {
        {"empty", 0},       {"one", 1},
        {"sub/edge", 4095}, {"sub/cutoff", 4096},
        {"sub/Файл", 300},  {"sub/deeper/large", 300000},
        {"\x05Props", 64},  {"sub/deeper/tiny", 63}};
    unsigned int seed = 0;
    for (const auto& [name, size] : files) {
        const cfbtest::Bytes bytes = cfbtest::Pattern(size, ++seed);
        WriteFile(tree / name, std::string(bytes.begin(), bytes.end()));
    }
    // A real summary information stream, taken from a LibreOffice document.
    const ProcessResult summary =
        RunProcess({ZYMWIN_PATH, "cfb", "cat", (SAMPLES / "libreoffice-report.doc").string(),
                    "\\x05SummaryInformation"});
    ASSERT_EQ(summary.status, 0) << summary.err;
    WriteFile(tree / "\x05SummaryInformation", summary.out);

    const std::string packed = (scratch.Path() / "packed.cfb").string();
    std::vector<std::string> argv{"gsf", "createole", packed};
    for (const auto& entry : fs::directory_iterator(tree))
        argv.push_back(entry.path().string());
    ASSERT_EQ(RunProcess(argv).status, 0);

    const std::string msi = (scratch.Path() / "setup.msi").string();
    for (const std::vector<std::string>& step :
         {std::vector<std::string>{"msibuild", msi, "-s", "Zym Setup", "Zym Tests", ";1033",
                                   "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"},
          {"msibuild", msi, "-a", "Payload", (tree / "sub/edge").string()}}) {
        const ProcessResult built = RunProcess(step);
        ASSERT_EQ(built.status, 0) << built.out << built.err;
    }
    ExpectAgreementWithOlefile({packed, msi});
}
