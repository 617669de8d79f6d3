// Calendar arithmetic shared by the clocks and the time zone: proleptic Gregorian days
// since 1970-01-01 and the day numbers the program stores (days since 1899-12-30, time
// of day as the fraction). Pure integer arithmetic, exact for any int64 millisecond value
// whose day count fits; day numbers keep millisecond precision over the years in use.
#pragma once

#include <cstdint>

namespace tarvedde::civil {

inline constexpr std::int64_t kMsPerDay = 86'400'000;
// Day number of 1970-01-01.
inline constexpr std::int64_t kUnixEpochDayNumber = 25569;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
    return a - FloorDiv(a, b) * b;
}

constexpr bool IsLeapYear(std::int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int DaysInMonth(std::int64_t year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12, day 1..31).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};
CivilDate CivilFromDays(std::int64_t days);

// 0 = Sunday .. 6 = Saturday.
int WeekdayFromDays(std::int64_t days);

// Local epoch milliseconds <-> day number. Before 1899-12-30 the fraction counts forward
// from midnight although the day part is negative (-1.25 is 1899-12-29 06:00), as the
// stored day numbers do.
double DayNumberFromLocalMs(std::int64_t localMs);
// NaN counts as 0; values beyond +-1e8 days are clamped.
std::int64_t LocalMsFromDayNumber(double dayNumber);

}  // namespace tarvedde::civil
