#include "CfbBuilder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace cfbtest;
using namespace zymtest;

namespace {

class Cli : public ::testing::Test {
protected:
    ProcessResult Zymwin(std::vector<std::string> args) {
        args.insert(args.begin(), {ZYMWIN_PATH, "cfb"});
        return RunProcess(args);
    }
    std::string Save(const std::string& name, const Bytes& bytes) {
        const auto path = (m_Scratch.Path() / name).string();
        WriteFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    // Root: storage Dir (1) and stream \x05Summary (2); Dir: stream "a/b\c"
    // (3) and storage Sub (4); Sub: stream Deep (5) and, as a damaged
    // directory might have it, the root's chain of children from Dir on.
    std::string SampleTree() {
        CfbBuilder builder;
        const auto dir = builder.AddStorage(0, u"Dir");
        builder.AddStream(0, u"\x05Summary", Pattern(10, 1));
        builder.AddStream(dir, u"a/b\\c", Pattern(5000, 2));
        const auto sub = builder.AddStorage(dir, u"Sub");
        const auto deep = builder.AddStream(sub, u"Deep", Pattern(100, 3));
        CfbImage image = builder.Build();
        image.SetEntry32(deep, ENTRY_RIGHT, dir);
        return Save("tree.cfb", image.bytes);
    }

    ScratchDirectory m_Scratch;
};

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST_F(Cli, ListsDepthFirstAsTextAndJsonEachStorageOnce) {
    const std::string file = SampleTree();
    const auto text = Zymwin({"ls", file});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "storage      1          0  Dir\n"
                        "storage      4          0  Dir/Sub\n"
                        "stream       2         10  Dir/Sub/\\x05Summary\n"
                        "stream       5        100  Dir/Sub/Deep\n"
                        "stream       3       5000  Dir/a\\x2Fb\\x5Cc\n"
                        "stream       2         10  \\x05Summary\n");
    // The rest of the JSON form is compared with olefile over real files.
    const auto json = Zymwin({"ls", "--json", file});
    EXPECT_NE(
        json.out.find(R"({"path": ["Dir", "a/b\\c"], "id": 3, "type": "stream", "size": 5000})"),
        std::string::npos)
        << json.out;
}

TEST_F(Cli, CatTakesEscapedPathsAndWritesTheExactBytes) {
    const std::string file = SampleTree();
    EXPECT_EQ(Zymwin({"cat", file, "\\x05Summary"}).out, AsString(Pattern(10, 1)));
    EXPECT_EQ(Zymwin({"cat", file, "Dir/a\\x2Fb\\x5cc"}).out, AsString(Pattern(5000, 2)));
    EXPECT_EQ(Zymwin({"cat", file, "Dir/Sub/Deep"}).out, AsString(Pattern(100, 3)));

    CfbBuilder builder;
    const Bytes big = Pattern(3000000, 4);
    builder.AddStream(0, u"Big", big);
    EXPECT_EQ(Zymwin({"cat", Save("big.cfb", builder.Build().bytes), "Big"}).out, AsString(big));
}

TEST_F(Cli, FailuresAreOneLineOnStandardErrorWithStatusOne) {
    const std::string file = SampleTree();
    const std::string missing = (m_Scratch.Path() / "missing.doc").string();
    const std::string text = Save("notes.txt", Bytes(600, 'x'));
    const std::string content = ReadFile(file);
    const std::string badHeader =
        Save("bad.cfb", Patched(Bytes(content.begin(), content.end()), 0x1C, 0x34));

    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"ls", missing}, missing + ": The system cannot find the file specified."},
        {{"ls", text}, text + ": not a compound file"},
        {{"props", badHeader}, badHeader + ": damaged header"},
        {{"cat", file, "Dir/Nope"}, file + ": no such stream: Dir/Nope"},
        {{"cat", file, "Nope/Deep"}, file + ": no such storage: Nope"},
        {{"cat", file, "Dir"}, file + ": no such stream: Dir"},
        {{"cat", file, "Dir/Sub/Deep/More"}, file + ": no such storage: Dir/Sub/Deep"},
        {{"cat", file, "Dir//Deep"}, "empty name in stream path 'Dir//Deep'"},
        {{"ls"}, "usage: zymwin cfb ls [--json] FILE"},
        {{"cat", file}, "usage: zymwin cfb cat FILE PATH"},
        {{"ls", "--xml", file}, "unknown option '--xml' (see 'zymwin cfb --help')"},
        {{"dir", file}, "unknown subcommand 'dir' (see 'zymwin cfb --help')"},
        {{}, "missing subcommand (see 'zymwin cfb --help')"},
    };
    for (const auto& [args, message] : cases) {
        const auto result = Zymwin(args);
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_EQ(result.err, "zymwin cfb: " + message + "\n");
        EXPECT_EQ(result.out, "");
    }
    for (const auto& args : {std::vector<std::string>{"--help"}, {"ls", "--help"}}) {
        const auto help = Zymwin(args);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Usage: zymwin cfb ls [--json] FILE"), std::string::npos);
    }
}

TEST_F(Cli, PropsPrintsTheMergedPropertiesAsTextAndJson) {
    const std::string doc = std::string(ZYM_TEST_DATA_DIR) + "/cfb/libreoffice-report.doc";
    const auto text = Zymwin({"props", doc});
    ASSERT_EQ(text.status, 0) << text.err;
    for (const char* line :
         {"Title: Отчёт о проверке\n", "Keywords: キーワード, compound\n", "Approved: true\n",
          "CreationDate: 2021-03-04T05:06:07Z\n", "Ревизия: 42\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line;
    EXPECT_LT(text.out.find("Approved:"), text.out.find("Title:")) << "ordered by name";

    const auto json = Zymwin({"props", "--json", doc});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const char* item :
         {R"({"name": "Budget", "type": "double", "value": 1234.5})",
          R"({"name": "Deadline", "type": "datetime", "value": "2023-01-02T03:04:05Z"})",
          R"({"name": "Project", "type": "wstring", "value": "Zebra Ünïcode"})",
          R"({"name": "Approved", "type": "bool", "value": true})"})
        EXPECT_NE(json.out.find(item), std::string::npos) << item;
}
