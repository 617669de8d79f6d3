#include "platform/virtual_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/civil_time.h"

namespace tarvedde {
namespace {

constexpr double kMarch5At7 = 45356.0 + 7.0 / 24.0;  // 2024-03-05 07:00:00
constexpr std::int64_t kHourMs = 3'600'000;

// Milliseconds between two day numbers, rounded: the clock must be exact to the ms.
std::int64_t MsBetween(double from, double to) {
    return std::llround((to - from) * 86'400'000.0);
}

TEST(VirtualClock, StartsOnMarch5At7InUtcAndAdvancesByWholeMillisecondsNeverBackwards) {
    VirtualClock clock;
    EXPECT_DOUBLE_EQ(clock.Now(), kMarch5At7);
    EXPECT_EQ(clock.ElapsedMs(), 0);
    EXPECT_EQ(clock.Zone().Name(), "UTC");
    clock.AdvanceMs(1);
    EXPECT_EQ(clock.ElapsedMs(), 1);
    EXPECT_EQ(MsBetween(kMarch5At7, clock.Now()), 1);
    clock.AdvanceMs(-500);
    clock.AdvanceMs(0);
    EXPECT_EQ(clock.ElapsedMs(), 1);
    clock.AdvanceMs(86'400'000 - 1);
    EXPECT_DOUBLE_EQ(clock.Now(), kMarch5At7 + 1.0);
}

TEST(VirtualClock, SteppingOrSettingTheWallClockOrZoneLeavesElapsedTimeAlone) {
    VirtualClock clock;
    clock.AdvanceMs(5000);
    clock.StepWallClock(-kHourMs);
    EXPECT_EQ(clock.ElapsedMs(), 5000);
    EXPECT_EQ(MsBetween(kMarch5At7, clock.Now()), 5000 - kHourMs);
    clock.AdvanceMs(1000);
    EXPECT_EQ(MsBetween(kMarch5At7, clock.Now()), 6000 - kHourMs);

    // Setting the local time keeps the elapsed time and drops earlier steps.
    const double newYear = 45658.0;  // 2025-01-01 00:00:00
    clock.SetLocalTime(newYear);
    EXPECT_EQ(clock.ElapsedMs(), 6000);
    EXPECT_DOUBLE_EQ(clock.Now(), newYear);
    clock.AdvanceMs(999);
    EXPECT_EQ(MsBetween(newYear, clock.Now()), 999);

    // Changing the zone keeps the instant.
    const std::int64_t utc = clock.WallUtcMs();
    clock.SetTimeZone(TimeZone::Fixed(60, "CET"));
    EXPECT_EQ(clock.WallUtcMs(), utc);
    EXPECT_EQ(MsBetween(newYear, clock.Now()), kHourMs + 999);
}

// Before 1899-12-30 the fraction still counts forward from midnight; within a day every
// millisecond comes back exactly.
TEST(CivilTime, DayNumbersCalendarDatesAndEveryMillisecondBack) {
    EXPECT_EQ(civil::DayNumberFromLocalMs(0), 25569.0);
    EXPECT_EQ(civil::LocalMsFromDayNumber(25569.0), 0);
    EXPECT_EQ(civil::DayNumberFromLocalMs(-25569 * civil::kMsPerDay), 0.0);
    const std::int64_t dec29At6 = -25570 * civil::kMsPerDay + 6 * kHourMs;
    EXPECT_EQ(civil::DayNumberFromLocalMs(dec29At6), -1.25);
    EXPECT_EQ(civil::LocalMsFromDayNumber(-1.25), dec29At6);
    EXPECT_EQ(civil::LocalMsFromDayNumber(std::nan("")), -25569 * civil::kMsPerDay);
    const std::int64_t start = 19787 * civil::kMsPerDay;  // 2024-03-05
    for (std::int64_t ms = start; ms < start + civil::kMsPerDay; ms += 997) {
        ASSERT_EQ(civil::LocalMsFromDayNumber(civil::DayNumberFromLocalMs(ms)), ms);
    }
    const std::int64_t lastMs = start + civil::kMsPerDay - 1;
    EXPECT_EQ(civil::LocalMsFromDayNumber(civil::DayNumberFromLocalMs(lastMs)), lastMs);

    EXPECT_EQ(civil::DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(civil::DaysFromCivil(2024, 3, 5), 19787);
    EXPECT_EQ(civil::DaysFromCivil(1899, 12, 30), -25569);
    const civil::CivilDate leapDay = civil::CivilFromDays(civil::DaysFromCivil(2000, 2, 29));
    EXPECT_EQ(leapDay.year, 2000);
    EXPECT_EQ(leapDay.month, 2);
    EXPECT_EQ(leapDay.day, 29);
    EXPECT_EQ(civil::CivilFromDays(-1).year, 1969);
    EXPECT_EQ(civil::WeekdayFromDays(civil::DaysFromCivil(2024, 3, 31)), 0);  // Sunday
    EXPECT_EQ(civil::DaysInMonth(1900, 2), 28);
    EXPECT_EQ(civil::DaysInMonth(2000, 2), 29);
}

TEST(SystemClock, ReadsAPlausibleTimeAndAMonotonicCounter) {
    const auto clock = MakeSystemClock();
    const double now = clock->Now();
    EXPECT_GT(now, 45292.0);  // after 2024-01-01
    EXPECT_LT(now, 73051.0);  // before 2100-01-01
    const std::int64_t first = clock->ElapsedMs();
    EXPECT_LE(first, clock->ElapsedMs());
}

#ifndef _WIN32  // Windows' clock takes the zone set in Windows, never TZ.
// TZ is process state, so the check runs in a child process.
TEST(SystemClockDeathTest, HonoursTz) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto nowIn = [](const char* tz) {
        setenv("TZ", tz, 1);
        return MakeSystemClock()->Now();
    };
    const auto offsetIsFiveHours = [&] {
        const double utc = nowIn("UTC0");
        const double plus5 = nowIn("XXX-5");
        return std::fabs((plus5 - utc) * 24.0 - 5.0) < 0.01;
    };
    EXPECT_EXIT(std::exit(offsetIsFiveHours() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace tarvedde
