#include "ConvSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace charset_test;
using ZymCharset::Conv;

namespace {

struct Text {
    Zym::CHARSET cs;
    std::u16string text;
};

const Text TEXTS[] = {
    {1252, u"Caf\u00E9 \u20AC\u0081 \u2122"},
    {65001, u"Gr\u00FC\u00DFe \u4E2D\u6587 \U0001F600\U00010348!"},
    {932, u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8 ABC \uFF71\uFF72"},
    {936, u"\u4E2D\u6587\u6587\u672C abc"},
    {950, u"\u7E41\u9AD4\u4E2D\u6587"},
    {949, u"\uD55C\uAD6D\uC5B4 \uD14D\uC2A4\uD2B8"},
    {54936, u"\u4E2D\u6587 \U0001F600 \u00E9"},
    {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440"},
    {50220, u"abc \u65E5\u672C\u8A9E def \u30C6\u30B9\u30C8 ghi"},
    {50225, u"\uD55C\uAD6D\uC5B4 abc"},
    {65000, u"A \u00A3 1 \u65E5\u672C + \U0001F600 ~"},
    {1200, u"wide \U0001F600 text"},
    {1201, u"lone \xD800 high \xDC00 low \xD800"},
};

} // namespace

TEST(ConverterSteps, PiecesAndTinyAreasGiveTheWholeResult) {
    WineGaps gaps;
    for (const Text& t : TEXTS) {
        if (gaps.Lack(t.cs))
            continue;
        const auto encoder = Conv::WcToMbConversionFunction(t.cs);
        const auto decoder = Conv::MbToWcConversionFunction(t.cs);
        ASSERT_TRUE(encoder && decoder) << t.cs;
        const Bytes encoded = Drive(*encoder, Wide(t.text), 4096);
        ASSERT_EQ(Drive(*decoder, encoded, 4096), Wide(t.text)) << t.cs;
        for (std::size_t piece : {1u, 2u, 3u}) {
            EXPECT_EQ(Drive(*decoder, encoded, 4096, piece), Wide(t.text)) << t.cs << "/" << piece;
            EXPECT_EQ(Drive(*encoder, Wide(t.text), 4096, piece), encoded) << t.cs << "/" << piece;
        }
        // Four bytes hold any UTF-16 character; the stateful encoders also
        // need room for an escape sequence in front of a character.
        for (std::size_t cap : {4u, 5u, 7u, 16u}) {
            EXPECT_EQ(Drive(*decoder, encoded, cap), Wide(t.text)) << t.cs << "/" << cap;
            if (cap >= 8 || (t.cs != 50220 && t.cs != 50225 && t.cs != 65000)) {
                EXPECT_EQ(Drive(*encoder, Wide(t.text), cap), encoded) << t.cs << "/" << cap;
            }
        }
    }
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(ConverterSteps, FallbackChainMatchesTheTwoHalves) {
    // Every pair through the chain, whole, in pieces and into small areas.
    WineGaps gaps;
    for (const Text& from : TEXTS) {
        for (Zym::CHARSET to : {1252u, 65001u, 932u, 50220u}) {
            if (gaps.Lack(from.cs) || gaps.Lack(to))
                continue;
            const Bytes source = Conv::FromWide(from.cs, from.text);
            const Bytes expected = Conv::FromWide(to, Conv::ToWide(from.cs, source));
            const auto chain = Conv::ConversionClass(from.cs, to);
            ASSERT_TRUE(chain);
            EXPECT_EQ(Drive(*chain, source, 4096), expected) << from.cs << ">" << to;
            EXPECT_EQ(Drive(*chain, source, 4096, 1), expected) << from.cs << ">" << to;
            EXPECT_EQ(Drive(*chain, source, 16), expected) << from.cs << ">" << to;
        }
    }
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(ConverterSteps, NeverWritesPastTheArea) {
    const std::u16string text = u"\u65E5\u672C \U0001F600 abc \u00E9";
    WineGaps gaps;
    for (Zym::CHARSET cs : {1252u, 65001u, 932u, 54936u, 50220u}) {
        if (gaps.Lack(cs))
            continue;
        const auto encoder = Conv::WcToMbConversionFunction(cs);
        const Bytes wide = Wide(text);
        for (std::size_t cap = 0; cap < 6; ++cap) {
            unsigned char area[16];
            std::fill(std::begin(area), std::end(area), 0xA5);
            std::size_t produced = 99;
            const std::size_t consumed =
                encoder->Convert(wide.data(), wide.size(), area, cap, produced, true);
            EXPECT_LE(produced, cap) << cs;
            EXPECT_EQ(consumed % 2, 0u) << cs;
            for (std::size_t i = cap; i < sizeof area; ++i)
                ASSERT_EQ(area[i], 0xA5) << cs << " cap " << cap;
        }
    }
    // A character that cannot fit is not consumed.
    const auto decoder = Conv::MbToWcConversionFunction(65001);
    std::size_t produced = 0;
    unsigned char area[3];
    EXPECT_EQ(decoder->Convert("\xF0\x9F\x98\x80", 4, area, 3, produced), 0u);
    EXPECT_EQ(produced, 0u);
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(ConverterSteps, InvalidInputIsReplacedOrStopsTheStep) {
    struct Case {
        Zym::CHARSET cs;
        Bytes input;
        std::u16string replaced;
        std::size_t stopsAt;
    };
    const Case cases[] = {
        // A stray continuation, an overlong form, an encoded surrogate and a
        // sequence cut by the end of the text.
        {65001,
         "a\x80"
         "b\xC0\xAF"
         "c\xED\xA0\x80"
         "d\xE2\x82",
         u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFD\uFFFDd\uFFFD\uFFFD", 1},
        // 0xFF is no lead byte in 932; a lone lead byte at the end is cut.
        {932,
         "x\xFF"
         "y\x93",
         u"x\uFFFDy\uFFFD", 1},
        // 1253 leaves 0xAA undefined.
        {1253, "\xC5\xAA\xC5", u"\u0395\uFFFD\u0395", 1},
        {1200, Bytes("a\0b", 3), u"a\uFFFD", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Conv::ToWide(c.cs, c.input), c.replaced) << c.cs;
        const auto decoder = Conv::MbToWcConversionFunction(c.cs);
        unsigned char area[64];
        std::size_t produced = 0;
        EXPECT_EQ(decoder->Convert(c.input.data(), c.input.size(), area, sizeof area, produced,
                                   true, true),
                  c.stopsAt)
            << c.cs;
    }
    // Characters a set lacks.
    EXPECT_EQ(Conv::FromWide(932, u"a\u0100b"), "a?b");
    WineGaps gaps;
    if (!gaps.Lack(50220)) {
        EXPECT_EQ(Conv::FromWide(50220, u"\u65E5\u0100"), "\x1B$BF|\x1B(B?");
    }
    EXPECT_EQ(Conv::FromWide(37, u"\u0100"), "\x6F"); // the EBCDIC question mark
    const auto encoder = Conv::WcToMbConversionFunction(1252);
    std::size_t produced = 0;
    char area[8];
    EXPECT_EQ(encoder->Convert(u"ab\u0100c", 8, area, sizeof area, produced, true, true), 4u);
    EXPECT_EQ(produced, 2u);
    const auto chain = Conv::ConversionClass(65001, 1252);
    EXPECT_EQ(chain->Convert("ab\xC4\x80"
                             "c",
                             5, area, sizeof area, produced, true, true),
              2u);
    EXPECT_EQ(Bytes(area, produced), "ab");
    SKIP_IF_WINE_LACKED(gaps);
}

TEST(ConverterSteps, ConvertersServeManyThreadsAtOnce) {
    // Shared converters of stateless sets, and fresh ones of every set
    // (whose tables and system support are probed on first use).
    const auto shared932 = Conv::MbToWcConversionFunction(932);
    const auto shared1252 = Conv::ConversionClass(1252, 65001);
    WineGaps gaps;
    std::vector<Text> texts;
    for (const Text& text : TEXTS)
        if (!gaps.Lack(text.cs))
            texts.push_back(text);
    // 28591-28601 and 28603-28606 are the ISO-8859 sets.
    std::vector<std::pair<Zym::CHARSET, bool>> isoPages;
    for (int n = 0; n < 20; ++n)
        if (!gaps.Lack(28590 + n))
            isoPages.emplace_back(28590 + n, n != 0 && n != 12 && n < 17);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const Text& text = texts[(t + round) % texts.size()];
                const Bytes bytes = Conv::FromWide(text.cs, text.text);
                failures[t] += Conv::ToWide(text.cs, bytes) != text.text;
                failures[t] += Drive(*shared932, "\x93\xFA", 8) != Wide(u"\u65E5");
                failures[t] += Drive(*shared1252, "\xE9", 8) != "\xC3\xA9";
                const auto& [iso, implemented] = isoPages[round % isoPages.size()];
                failures[t] += Conv::IsImplemented(iso) != implemented;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    SKIP_IF_WINE_LACKED(gaps);
}
