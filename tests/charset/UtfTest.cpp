#include <ZymCharset/Utf.h>

#include <gtest/gtest.h>

#include <string>

using ZymCharset::FromUtf8;
using ZymCharset::ToUtf8;

// Known answers, bytes written out, from one to four bytes a character.
TEST(Utf, KnownAnswersInBothDirections) {
    const struct {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"A", "\x41"},
        {u"\u00E9", "\xC3\xA9"},
        {u"\u20AC", "\xE2\x82\xAC"},
        {u"\uFFFD", "\xEF\xBF\xBD"},
        // U+1D11E MUSICAL SYMBOL G CLEF: the pair D834 DD1E.
        {std::u16string{char16_t(0xD834), char16_t(0xDD1E)}, "\xF0\x9D\x84\x9E"},
        // U+10FFFF, the last character: the pair DBFF DFFF.
        {std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)}, "\xF4\x8F\xBF\xBF"},
        // U+10000, the first beyond the plane: the pair D800 DC00.
        {std::u16string{u'x', char16_t(0xD800), char16_t(0xDC00), u'y'}, "x\xF0\x90\x80\x80y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(FromUtf8(c.utf8), c.utf16);
    }
}

TEST(Utf, BrokenInputBecomesReplacementCharacters) {
    // Lone surrogates, either half.
    EXPECT_EQ(ToUtf8(std::u16string{u'a', char16_t(0xD834), u'b'}), "a\xEF\xBF\xBD"
                                                                    "b");
    EXPECT_EQ(ToUtf8(std::u16string{char16_t(0xDD1E)}), "\xEF\xBF\xBD");
    // A sequence cut short, and a lone continuation byte.
    EXPECT_EQ(FromUtf8("\xF0\x9D\x84"), u"\uFFFD");
    EXPECT_EQ(FromUtf8("\x84z"), u"\uFFFDz");
}
