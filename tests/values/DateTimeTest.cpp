#include "TestFiles.h"

#include <Zym/DateTime.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using Zym::DateTime;
using Zym::DateTimeException;

TEST(FileTime, ConvertsExactlyAndRoundsTowardsThePast) {
    EXPECT_EQ(Zym::FileTimeToUnixTime(116444736000000000ULL), 0);
    EXPECT_EQ(Zym::FileTimeToUnixTime(125911584000000000ULL), 946684800); // 2000-01-01
    EXPECT_EQ(Zym::FileTimeToUnixTime(116444736009999999ULL), 0);
    EXPECT_EQ(Zym::FileTimeToUnixTime(116444735990000000ULL - 1), -2);
    EXPECT_EQ(Zym::FileTimeToUnixTime(0ULL), -11644473600);
    EXPECT_EQ(Zym::FileTimeToUnixTime(0xFFFFFFFFFFFFFFFFULL), 1844674407370 - 11644473600);
    // The two halves of a FILETIME structure.
    EXPECT_EQ(Zym::FileTimeToUnixTime(0xD53E8000u, 0x019DB1DEu), 0);
}

TEST(DateTime, CalendarFieldsInUtc) {
    const DateTime leapDay(2024, 1, 29, 12, 30, 5, true);
    EXPECT_EQ(leapDay.AsIsoUtc(), "2024-02-29T12:30:05Z");
    EXPECT_EQ(leapDay.AsUnixTime(), 1709209805);
    EXPECT_EQ(leapDay.Utc().weekDay, 4); // a Thursday
    EXPECT_EQ(DateTime(0).AsIsoUtc(), "1970-01-01T00:00:00Z");
    EXPECT_EQ(DateTime(32535215999).AsIsoUtc(), "3000-12-31T23:59:59Z");
    EXPECT_EQ(DateTime(2000, 11, 31, 23, 59, 59, true).AsStringUtc("%d.%m.%Y %j"),
              "31.12.2000 366");
    EXPECT_EQ(DateTime(1970, 0, 1, 0, 0, 7, true), DateTime(7));
}

TEST(DateTime, ImpossibleDatesAndTheRangeRaise) {
    EXPECT_THROW(DateTime(2023, 1, 29, 0, 0, 0, true), DateTimeException);
    EXPECT_THROW(DateTime(2024, 12, 1, 0, 0, 0, true), DateTimeException);
    EXPECT_THROW(DateTime(2024, -1, 1, 0, 0, 0, true), DateTimeException);
    EXPECT_THROW(DateTime(2024, 0, 0, 0, 0, 0, true), DateTimeException);
    EXPECT_THROW(DateTime(2024, 0, 1, 24, 0, 0, true), DateTimeException);
    EXPECT_THROW(DateTime(2024, 0, 1, 0, 60, 0, true), DateTimeException);
    EXPECT_THROW(DateTime(2024, 0, 1, 0, 0, 60, true), DateTimeException);
    EXPECT_THROW(DateTime(1969, 11, 31, 23, 59, 59, true), DateTimeException);
    EXPECT_THROW(DateTime(-1), DateTimeException);
    EXPECT_THROW(DateTime(32535216000), DateTimeException);
    EXPECT_THROW(DateTime(Zym::FileTimeToUnixTime(0ULL)), DateTimeException);
    try {
        DateTime(2024, 13, 1, 0, 0, 0, true);
        FAIL();
    } catch (const DateTimeException& e) {
        EXPECT_NE(e.WhatUtf8().find("month 13"), std::string::npos) << e.WhatUtf8();
    }
}

TEST(DateTime, FormatsOfAnyLengthAndText) {
    const zymtest::ScopedEnvironment zone("TZ", "UTC0");
    const DateTime t(2021, 6, 4, 8, 9, 10, true);
    EXPECT_EQ(t.AsStringLocal(""), "");
    EXPECT_EQ(t.AsWStringLocal(u"%Y\u5E74 \u00E9t\u00E9 %M"), u"2021\u5E74 \u00E9t\u00E9 09");
    EXPECT_EQ(t.AsWStringLocal(), u"2021-07-04 08:09:10");
    const std::string longFormat(1000, 'x');
    EXPECT_EQ(t.AsStringLocal(longFormat + "%S"), longFormat + "10");
}

TEST(DateTime, CurrentTimeIsNow) {
    using namespace std::chrono;
    const auto before = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    const DateTime now = DateTime::GetCurrentDateTime();
    const auto after = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    EXPECT_GE(now.AsUnixTime(), before);
    EXPECT_LE(now.AsUnixTime(), after);
}
