// Date-times as Delphi's TDateTime: a double counting days since 1899-12-30 (= 0), the
// time of day as the fraction. State files, data files and the clock all use it.
// Before 1899-12-30 the integer part is the day and the fraction's absolute value the
// time (-1.25 is 1899-12-29 06:00). Calendar years 1..9999 are supported.
//
// Decoding first rounds to the nearest millisecond (ties to even, as the x87 FISTP
// does), so 0.5 is exactly 12:00:00.000 and a value a hair below midnight is the next
// day at 00:00:00.000. Values outside 0001-01-01..9999-12-31 and NaN decode as zeros.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/locale.h"
#include "platform/result.h"

namespace tarvedde {

constexpr double kUnixEpochDay = 25569;  // 1970-01-01
constexpr std::int64_t kMsPerDay = 86'400'000;

struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const DateParts&) const = default;
};

struct TimeParts {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    bool operator==(const TimeParts&) const = default;
};

bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int millisecond);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Callers pass valid parts (check with IsValidDate / IsValidTime first); invalid parts
// are a programmer error.
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int millisecond);
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond);

DateParts DecodeDate(double dateTime);
TimeParts DecodeTime(double dateTime);
// The time of day of a date-time, re-encoded from its hours to milliseconds so that a
// cycle at 06:00:00 equals a stored time 06:00:00 exactly.
double TimeOfDayOf(double dateTime);
// 1 = Sunday .. 7 = Saturday; 0 outside the supported range.
int DayOfWeek(double dateTime);
// Delphi's DateOf / TimeOf: the truncated day and the fraction, without rounding.
double DateOf(double dateTime);
double TimeOf(double dateTime);

// Delphi's FormatDateTime with d dd ddd dddd ddddd dddddd, m mm mmm mmmm (minutes right
// after an h/hh), yy yyyy, h hh, n nn, s ss, z zzz, t tt, c, / and :, quoted text; any
// other character is copied. Specifiers are case-insensitive; an empty pattern is "c".
std::string FormatDateTime(std::string_view pattern, double dateTime,
                           const Locale& locale = GermanLocale());

// Delphi's StrToTime: "h", "h:n", "h:n:s" or "h:n:s<decimal separator>z", blanks allowed
// around the parts, an optional "AM"/"PM". Gives the fraction of a day.
// Failure message: "'<text>' ist keine gültige Zeit".
Result<double> StrToTime(std::string_view text, const Locale& locale = GermanLocale());

// Delphi's StrToDate in the order of the locale's short date format ("d.m.yyyy",
// "d.m.yy", "d.m" for the current year). A two-digit year falls in the hundred years
// starting 50 years before `currentYear`. Failure message: "'<text>' ist kein gültiges
// Datum".
Result<double> StrToDate(std::string_view text, int currentYear,
                         const Locale& locale = GermanLocale());
// Without a clock: as in the year 2000, so 00..49 are 2000..2049 and 50..99 1950..1999.
Result<double> StrToDate(std::string_view text, const Locale& locale = GermanLocale());

// Between local milliseconds since 1970-01-01 00:00 and day numbers, exact to the ms.
double FromUnixMs(std::int64_t localMs);
// NaN and values beyond a billion days give 0.
std::int64_t ToUnixMs(double dateTime);

}  // namespace tarvedde
