#include <Zym/NoCase.h>

#include <gtest/gtest.h>

#include <map>

TEST(NoCase, FoldsAsciiOnlyAndPrefixesOrderFirst) {
    std::map<std::string, int, Zym::NoCase> names;
    names["Title"] = 1;
    EXPECT_EQ(names.count("TITLE"), 1u);
    EXPECT_EQ(names.count("title"), 1u);
    EXPECT_TRUE(Zym::NoCase()("abc", "ABCD"));
    EXPECT_FALSE(Zym::NoCase()("ABCD", "abc"));
    // '_' sits between the upper and lower letters: folding to upper orders it last.
    EXPECT_TRUE(Zym::NoCase()("a", "_"));
    // Bytes above 0x7F are compared unsigned and not folded.
    EXPECT_TRUE(Zym::NoCase()("z", "\xC3\xA9"));
    EXPECT_TRUE(Zym::WNoCase::IsEqual(u"HKEY_Local", u"hkey_LOCAL"));
    EXPECT_FALSE(Zym::WNoCase::IsEqual(u"\u00e9", u"\u00c9"));
    EXPECT_EQ(Zym::ToLower(std::u16string(u"AbC\u00c9")), u"abc\u00c9");
}
