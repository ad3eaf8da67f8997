#include "ConvSupport.h"

#include <gtest/gtest.h>

using namespace charset_test;
using ZymCharset::Conv;

namespace {

// Code pages that a property set may name and that this machine converts.
const Zym::CHARSET SINGLE_BYTE_PAGES[] = {
    37,    437,   500,   708,   737,   775,   850,   852,   855,   857,   858,   860,
    861,   862,   863,   864,   865,   866,   869,   870,   874,   875,   1026,  1047,
    1140,  1141,  1142,  1143,  1144,  1145,  1146,  1147,  1148,  1149,  1250,  1251,
    1252,  1253,  1254,  1255,  1256,  1257,  1258,  10000, 10007, 10017, 10029, 10079,
    20127, 20273, 20277, 20278, 20280, 20284, 20285, 20290, 20297, 20420, 20423, 20424,
    20866, 20871, 20880, 20905, 21025, 21866, 28591, 28592, 28593, 28594, 28595, 28596,
    28597, 28598, 28599, 28600, 28601, 28603, 28604, 28605, 28606, 38598,
};

Bytes AllBytes() {
    Bytes bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

} // namespace

// Whether a page that does convert says so is checked where it converts.
TEST(CodePages, NumbersThatAreNoCodePageAreRefused) {
    // Including those that stand for whatever the system or the thread uses
    // at the moment (0 to 3) and the symbol font's set (42).
    for (Zym::CHARSET cs : {0u, 1u, 2u, 3u, 42u, 12345u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(Conv::IsImplemented(cs)) << cs;
        EXPECT_FALSE(Conv::MbToWcConversionFunction(cs)) << cs;
        EXPECT_FALSE(Conv::ConversionClass(cs, 1252)) << cs;
        EXPECT_THROW(Conv::ToWide(cs, "x"), std::invalid_argument);
    }
}

TEST(CodePages, Windows1252MapsEveryByteAsWindowsDoes) {
    const std::u16string wide = Conv::ToWide(1252, AllBytes());
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0x80], u'\u20AC');
    EXPECT_EQ(wide[0x8A], u'\u0160');
    EXPECT_EQ(wide[0x99], u'\u2122');
    EXPECT_EQ(wide[0x9F], u'\u0178');
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(wide[undefined], static_cast<char16_t>(undefined));
    for (int b = 0; b < 0x80; ++b)
        EXPECT_EQ(wide[b], static_cast<char16_t>(b));
    for (int b = 0xA0; b < 0x100; ++b)
        EXPECT_EQ(wide[b], static_cast<char16_t>(b));
    // What 1252 lacks becomes '?'.
    EXPECT_EQ(Conv::FromWide(1252, u"a\u0100\U0001F600b"), "a??b");
}

TEST(CodePages, EverySingleBytePageRoundTripsEveryMappedByte) {
    WineGaps gaps;
    for (Zym::CHARSET cs : SINGLE_BYTE_PAGES) {
        if (gaps.Lack(cs))
            continue;
        ASSERT_TRUE(Conv::IsImplemented(cs)) << cs;
        const std::u16string wide = Conv::ToWide(cs, AllBytes());
        ASSERT_EQ(wide.size(), 256u) << cs;
        Bytes mapped;
        std::u16string mappedWide;
        for (int b = 0; b < 256; ++b) {
            if (wide[b] == u'\uFFFD')
                continue;
            mapped += static_cast<char>(b);
            mappedWide += wide[b];
        }
        EXPECT_GE(mapped.size(), 128u) << cs;
        EXPECT_EQ(Conv::FromWide(cs, mappedWide), mapped) << cs;
        // Through UTF-8 and back by the two-step fallback.
        const Bytes utf8 = Conv::Convert(cs, 65001, mapped.data(), mapped.size());
        EXPECT_EQ(Conv::Convert(65001, cs, utf8.data(), utf8.size()), mapped) << cs;
    }
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(CodePages, EveryMultiBytePageRoundTripsTextOfItsScript) {
    const std::u16string latin = u"Plain ASCII 0123 ~!";
    const std::u16string japanese = u"\u65E5\u672C\u8A9E\u306E\u6587\u7AE0\u3002\u30AB\u30BF";
    const std::u16string simplified = u"\u4E2D\u6587\u7B80\u4F53\u5B57\u3002";
    const std::u16string traditional = u"\u7E41\u9AD4\u4E2D\u6587\u5B57";
    const std::u16string korean = u"\uD55C\uAD6D\uC5B4 \uBB38\uC7A5";
    const std::u16string everything = japanese + simplified + korean + u"\U0001F600\u00E9";
    const std::pair<Zym::CHARSET, std::u16string> pages[] = {
        {932, japanese},     {20932, japanese},   {50220, japanese},   {50221, japanese},
        {50222, japanese},   {51932, japanese},   {936, simplified},   {20936, simplified},
        {50227, simplified}, {51936, simplified}, {54936, everything}, {950, traditional},
        {949, korean},       {1361, korean},      {20949, korean},     {50225, korean},
        {51949, korean},     {12000, everything}, {12001, everything}, {65000, everything},
        {65001, everything},
    };
    WineGaps gaps;
    for (const auto& [cs, script] : pages) {
        if (gaps.Lack(cs))
            continue;
        ASSERT_TRUE(Conv::IsImplemented(cs)) << cs;
        const std::u16string text = latin + script + latin;
        const Bytes bytes = Conv::FromWide(cs, text);
        EXPECT_EQ(Conv::ToWide(cs, bytes), text) << cs;
    }
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(CodePages, SampleTextsMatchTheirKnownEncodings) {
    struct Sample {
        Zym::CHARSET cs;
        std::u16string text;
        Bytes bytes;
    };
    const Sample samples[] = {
        {932, u"\u65E5\u672C\u8A9E abc \uFF71", "\x93\xFA\x96\x7B\x8C\xEA abc \xB1"},
        {936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {950, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
        {949, u"\uD55C\uAD6D\uC5B4", "\xC7\xD1\xB1\xB9\xBE\xEE"},
        {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {20866, u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xF0\xD2\xC9\xD7\xC5\xD4"},
        {1253, u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC",
         "\xC5\xEB\xEB\xE7\xED\xE9\xEA\xDC"},
        {50220, u"\u65E5\u672C\u8A9Eabc", "\x1B$BF|K\\8l\x1B(Babc"},
        {51932, u"\u65E5\u672C\u8A9E", "\xC6\xFC\xCB\xDC\xB8\xEC"},
        {65000, u"Hi \u00A3", "Hi +AKM-"},
        {65001, u"\u00E9\u20AC\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {37, u"Hello?", "\xC8\x85\x93\x93\x96\x6F"},
    };
    WineGaps gaps;
    for (const Sample& s : samples) {
        if (gaps.Lack(s.cs))
            continue;
        EXPECT_EQ(Conv::ToWide(s.cs, s.bytes), s.text) << s.cs;
        EXPECT_EQ(Conv::FromWide(s.cs, s.text), s.bytes) << s.cs;
    }
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(CodePages, WideSetsDifferOnlyInByteOrderNames) {
    // 1201 is the host order of char16_t; here both are little-endian.
    const std::u16string text = u"x\U0001F600\xD800y";
    const Bytes le = Conv::Convert(1201, 1200, text.data(), text.size() * 2);
    EXPECT_EQ(le, Wide(text));
    // Unpaired surrogates survive a change of byte order but not UTF-8.
    EXPECT_EQ(Conv::FromWide(65001, text), "x\xF0\x9F\x98\x80\xEF\xBF\xBDy");
}
