#include "TestFiles.h"

#include <Zym/DateTime.h>

#include <gtest/gtest.h>

// The zone rules of POSIX TZ, with the days that daylight saving starts and ends.

using Zym::DateTime;
using Zym::DateTimeException;

TEST(DateTime, LocalTimeFollowsTheZoneAndItsDaylightSaving) {
    // Central European rules, spelled out so that no zone files are needed.
    const zymtest::ScopedEnvironment zone("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    const DateTime summer(2024, 5, 1, 12, 0, 0, false);
    EXPECT_EQ(summer.AsIsoUtc(), "2024-06-01T10:00:00Z");
    EXPECT_EQ(summer.AsStringLocal("%H:%M %Z"), "12:00 CEST");
    EXPECT_EQ(summer.AsStringLocal(), "2024-06-01 12:00:00");
    EXPECT_EQ(summer.Local().hour, 12);
    const DateTime winter(2024, 0, 15, 12, 0, 0, false);
    EXPECT_EQ(winter.AsIsoUtc(), "2024-01-15T11:00:00Z");
    EXPECT_EQ(winter.AsWStringLocal(u"%H:%M:%S"), u"12:00:00");
    // 02:30 does not exist on the morning clocks go forward.
    const DateTime skipped(2024, 2, 31, 2, 30, 0, false);
    EXPECT_EQ(skipped.AsStringLocal("%H:%M %Z"), "03:30 CEST");
    // Near the start of the range a local time may fall before 1970 in UTC.
    EXPECT_THROW(DateTime(1970, 0, 1, 0, 30, 0, false), DateTimeException);
}
