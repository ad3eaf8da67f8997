#include <Zym/Variant.h>

#include <gtest/gtest.h>

#include <limits>

using namespace Zym;

TEST(Variant, TextFormOfEveryKind) {
    EXPECT_EQ(Variant(g_VariantTraitsIntType, -2147483647 - 1).AsWString(), u"-2147483648");
    EXPECT_EQ(Variant(g_VariantTraitsUIntType, 4294967295u).AsWString(), u"4294967295");
    EXPECT_EQ(Variant(g_VariantTraitsShortType, short(-32768)).AsWString(), u"-32768");
    EXPECT_EQ(Variant(g_VariantTraitsUShortType, (unsigned short)65535).AsWString(), u"65535");
    EXPECT_EQ(Variant(g_VariantTraitsUCharType, (unsigned char)'A').AsWString(), u"65");
    EXPECT_EQ(Variant(g_VariantTraitsBoolType, true).AsWString(), u"true");
    EXPECT_EQ(Variant(false).AsString(), "false");
    EXPECT_EQ(Variant(g_VariantTraitsFloatType, 0.1f).AsWString(), u"0.1");
    EXPECT_EQ(Variant(g_VariantTraitsDoubleType, 0.1).AsWString(), u"0.1");
    EXPECT_EQ(Variant(1e100).AsString(), "1e+100");
    EXPECT_EQ(Variant(-0.0).AsString(), "-0");
    EXPECT_EQ(Variant(std::numeric_limits<double>::infinity()).AsString(), "inf");
    EXPECT_EQ(Variant(-std::numeric_limits<float>::quiet_NaN()).AsString(), "nan");
    EXPECT_EQ(Variant(3.141592653589793).AsString(), "3.141592653589793");
    EXPECT_EQ(Variant(u"caf\u00E9 \U0001F600").AsWString(), u"caf\u00E9 \U0001F600");
    EXPECT_EQ(Variant(u"caf\u00E9").AsString(), "caf\xC3\xA9");
    EXPECT_EQ(Variant(DateTime(2003, 6, 14, 9, 5, 0, true)).AsWString(), u"2003-07-14T09:05:00Z");
}

TEST(Variant, EqualNumbersOfDifferentKindsDifferAndCopiesStandAlone) {
    EXPECT_NE(Variant(g_VariantTraitsShortType, short(7)), Variant(7));
    EXPECT_EQ(Variant(g_VariantTraitsShortType, short(7)), Variant(short(7)));
    Variant v(DateTime(60));
    const Variant copy = v;
    v.Set(g_VariantTraitsWStringType, std::u16string(u"x"));
    v.Clear();
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_EQ(copy.Get(g_VariantTraitsDateTimeType).AsUnixTime(), 60);
}

TEST(Variant, WrongKindOrEmptyRaises) {
    const Variant number(42u);
    try {
        number.Get(g_VariantTraitsIntType);
        FAIL();
    } catch (const Variant::VariantException& e) {
        EXPECT_EQ(e.WhatUtf8(), "The variant holds unsigned int, not int.");
    }
    EXPECT_THROW(number.Get(g_VariantTraitsDoubleType), Variant::VariantException);
    const Variant empty;
    EXPECT_THROW(empty.AsWString(), Variant::VariantException);
    EXPECT_THROW(empty.Get(g_VariantTraitsWStringType), Variant::VariantException);
    // The family's root catches it too.
    EXPECT_THROW(empty.AsString(), Zym::Exception);
}
