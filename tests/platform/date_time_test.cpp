#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

namespace tarvedde {
// Readable failure output.
void PrintTo(const DateParts& d, std::ostream* out) {
    *out << d.year << '-' << d.month << '-' << d.day;
}

void PrintTo(const TimeParts& t, std::ostream* out) {
    *out << t.hour << ':' << t.minute << ':' << t.second << '.' << t.millisecond;
}

namespace {

// Days -2000..80000 are checked against the standard calendar below.
TEST(DateTimeTest, KnownDayNumbersAndTheirParts) {
    EXPECT_EQ(EncodeDate(1970, 1, 1), kUnixEpochDay);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_EQ(EncodeDateTime(2024, 3, 5, 18, 0, 0, 0), 45356.75);
    // Before day 0 the time is subtracted: -1.25 is 1899-12-29 06:00.
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    EXPECT_EQ(DecodeDate(-1.25), (DateParts{1899, 12, 29}));
    EXPECT_EQ(DecodeTime(-1.25), (TimeParts{6, 0, 0, 0}));
    EXPECT_EQ(DateOf(45356.75), 45356.0);
    EXPECT_EQ(TimeOf(45356.75), 0.75);
    EXPECT_EQ(DateOf(-1.25), -1.0);
}

TEST(DateTimeTest, RoundTripsEveryDayAgainstTheStandardCalendar) {
    using namespace std::chrono;
    const sys_days dayZero = sys_days{year{1899} / December / 30};
    for (int dayNumber = -2000; dayNumber <= 80000; ++dayNumber) {
        const year_month_day expected{dayZero + days{dayNumber}};
        // Before day 0 the time of day is subtracted.
        const double evening = dayNumber >= 0 ? dayNumber + 0.75 : dayNumber - 0.75;
        ASSERT_EQ(DecodeTime(evening), (TimeParts{18, 0, 0, 0}));
        const DateParts parts = DecodeDate(evening);
        ASSERT_EQ(parts, (DateParts{static_cast<int>(expected.year()),
                                    static_cast<int>(unsigned{expected.month()}),
                                    static_cast<int>(unsigned{expected.day()})}));
        ASSERT_EQ(EncodeDate(parts.year, parts.month, parts.day), dayNumber);
        const auto sundayIsZero = static_cast<int>(weekday{sys_days{expected}}.c_encoding());
        ASSERT_EQ(DayOfWeek(dayNumber), sundayIsZero + 1) << dayNumber;
    }
}

TEST(DateTimeTest, ValidDatesAgreeWithTheStandardCalendarWithinYears1To9999) {
    using namespace std::chrono;
    for (const int y : {0, 1, 1900, 2000, 2023, 2024, 9999, 10000}) {
        for (unsigned m = 0; m <= 13; ++m) {
            for (unsigned d = 0; d <= 32; ++d) {
                const bool valid =
                    y >= 1 && y <= 9999 && year_month_day{year{y}, month{m}, day{d}}.ok();
                ASSERT_EQ(IsValidDate(y, static_cast<int>(m), static_cast<int>(d)), valid)
                    << y << '-' << m << '-' << d;
            }
        }
    }
    EXPECT_EQ(DaysInMonth(2023, 13), 0);
    EXPECT_FALSE(IsValidTime(24, 0, 0, 0));
    EXPECT_FALSE(IsValidTime(23, 59, 59, 1000));
    EXPECT_TRUE(IsValidTime(23, 59, 59, 999));
}

TEST(DateTimeTest, DecodingRoundsToTheNearestMillisecond) {
    EXPECT_EQ(DecodeTime(0.5), (TimeParts{12, 0, 0, 0}));
    const double midnight = EncodeDate(2024, 3, 6);
    EXPECT_EQ(DecodeDate(midnight - 1e-10), (DateParts{2024, 3, 6}));
    EXPECT_EQ(DecodeTime(midnight - 1e-10), (TimeParts{0, 0, 0, 0}));
    EXPECT_EQ(DayOfWeek(midnight - 1e-10), 4);  // Wednesday, not Tuesday
    const double lastMs = midnight - 1.0 / kMsPerDay;
    EXPECT_EQ(DecodeTime(lastMs), (TimeParts{23, 59, 59, 999}));
    EXPECT_EQ(DecodeDate(lastMs), (DateParts{2024, 3, 5}));
    const double ms = 1.0 / kMsPerDay;
    const double t = EncodeDateTime(2024, 3, 5, 7, 8, 9, 45);
    EXPECT_EQ(DecodeTime(t + 0.49 * ms).millisecond, 45);
    EXPECT_EQ(DecodeTime(t + 0.51 * ms).millisecond, 46);
    // 1/2048 day is exactly 42187.5 ms: the tie goes to the even count.
    EXPECT_EQ(DecodeTime(1.0 / 2048).millisecond, 188);
    EXPECT_EQ(DecodeTime(3.0 / 2048).millisecond, 562);
}

TEST(DateTimeTest, OutsideTheCalendarDecodesAsZeros) {
    EXPECT_EQ(DecodeDate(std::numeric_limits<double>::quiet_NaN()), (DateParts{}));
    EXPECT_EQ(DecodeDate(2958466.0), (DateParts{}));
    EXPECT_EQ(DecodeDate(-693594.0), (DateParts{}));
    EXPECT_EQ(DayOfWeek(1e300), 0);
    EXPECT_EQ(FormatDateTime("dd.mmm.yyyy ddd", 1e300), "00..0000 ");
}

TEST(DateTimeTest, UnixMillisecondsRoundTripExactly) {
    EXPECT_EQ(FromUnixMs(0), kUnixEpochDay);
    EXPECT_EQ(FromUnixMs(43'200'000), kUnixEpochDay + 0.5);
    EXPECT_EQ(ToUnixMs(EncodeDateTime(2024, 3, 5, 7, 8, 9, 45)), 1'709'622'489'045);
    EXPECT_EQ(ToUnixMs(-1.25), -25570 * kMsPerDay + 6 * 3'600'000);
    EXPECT_EQ(FromUnixMs(-25570 * kMsPerDay + 6 * 3'600'000), -1.25);
    for (std::int64_t ms = -3'000'000'000'000; ms < 300'000'000'000'000; ms += 7'777'777'777) {
        ASSERT_EQ(ToUnixMs(FromUnixMs(ms)), ms);
        ASSERT_EQ(ToUnixMs(FromUnixMs(ms + 999)), ms + 999);
    }
    EXPECT_EQ(ToUnixMs(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace tarvedde
