#include "TestFiles.h"

#include <Zym/DateTime.h>

#include <gtest/gtest.h>

// The C runtime's TZ names a zone and its offset, without rules for the
// days daylight saving starts and ends.

using Zym::DateTime;

TEST(DateTime, LocalTimeFollowsTheZoneOfTz) {
    const zymtest::ScopedEnvironment zone("TZ", "JST-9");
    const DateTime noon(2024, 5, 1, 12, 0, 0, false);
    EXPECT_EQ(noon.AsIsoUtc(), "2024-06-01T03:00:00Z");
    EXPECT_EQ(noon.AsStringLocal(), "2024-06-01 12:00:00");
    EXPECT_EQ(noon.Local().hour, 12);
    const DateTime late(2024, 11, 31, 23, 30, 0, true);
    EXPECT_EQ(late.AsStringLocal("%Y-%m-%d %H:%M"), "2025-01-01 08:30");
    EXPECT_EQ(late.Local().year, 2025);
}
