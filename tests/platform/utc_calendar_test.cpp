#include "platform/utc_calendar.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using Velto::Platform::BreakDownUtc;

struct UtcCase {
    int64_t seconds;
    int year, month, day, hour, minute, second, weekday, dayOfYear;
};

TEST(UtcCalendar, BreaksDownSecondsIntoCalendarFields) {
    const UtcCase cases[] = {
        {0, 1970, 1, 1, 0, 0, 0, 4, 0},
        {-1, 1969, 12, 31, 23, 59, 59, 3, 364},
        {-43200, 1969, 12, 31, 12, 0, 0, 3, 364},
        {951782400, 2000, 2, 29, 0, 0, 0, 2, 59},
        {1700000000, 2023, 11, 14, 22, 13, 20, 2, 317},
        {2147483648, 2038, 1, 19, 3, 14, 8, 2, 18},  // past the 32-bit time_t limit
        {4107542400, 2100, 3, 1, 0, 0, 0, 1, 59},    // 2100 is not a leap year
        {32535215999, 3000, 12, 31, 23, 59, 59, 3, 364},
        {32535215999 + 43200, 3001, 1, 1, 11, 59, 59, 4, 0},
    };
    for (const UtcCase& c : cases) {
        std::tm parts{};
        ASSERT_TRUE(BreakDownUtc(c.seconds, parts)) << c.seconds;
        EXPECT_EQ(parts.tm_year + 1900, c.year) << c.seconds;
        EXPECT_EQ(parts.tm_mon + 1, c.month) << c.seconds;
        EXPECT_EQ(parts.tm_mday, c.day) << c.seconds;
        EXPECT_EQ(parts.tm_hour, c.hour) << c.seconds;
        EXPECT_EQ(parts.tm_min, c.minute) << c.seconds;
        EXPECT_EQ(parts.tm_sec, c.second) << c.seconds;
        EXPECT_EQ(parts.tm_wday, c.weekday) << c.seconds;
        EXPECT_EQ(parts.tm_yday, c.dayOfYear) << c.seconds;
    }
}

TEST(UtcCalendar, RefusesTimesOutsideTheSupportedRange) {
    for (const int64_t seconds :
         {int64_t{-43201}, int64_t{32535215999 + 43201}, INT64_MIN, INT64_MAX}) {
        std::tm parts{};
        parts.tm_year = 99;
        EXPECT_FALSE(BreakDownUtc(seconds, parts)) << seconds;
        EXPECT_EQ(parts.tm_year, 0) << "a refused time leaves the fields zeroed: " << seconds;
    }
}

}  // namespace
