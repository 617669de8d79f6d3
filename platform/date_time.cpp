// Calendar arithmetic on day numbers. Decoding works on a whole count of milliseconds
// obtained by one exactly rounded multiplication, so date and time parts always agree
// with each other (no 23:59:60, no time without its day).
#include <cassert>
#include <cmath>

#include "platform/date_time.h"

namespace tarvedde {
namespace {

constexpr std::int64_t kFirstDay = -693593;  // 0001-01-01
constexpr std::int64_t kLastDay = 2958465;   // 9999-12-31
constexpr std::int64_t kDaysToUnixEpoch = 25569;

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(int year, int month, int day) {
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return std::int64_t{era} * 146097 + dayOfEra - 719468;
}

DateParts DatePartsFromDays(std::int64_t daysSinceUnixEpoch) {
    const std::int64_t z = daysSinceUnixEpoch + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<int>(z - era * 146097);
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int shiftedMonth = (5 * dayOfYear + 2) / 153;
    DateParts parts;
    parts.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    parts.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    parts.year = static_cast<int>(yearOfEra + era * 400) + (parts.month <= 2 ? 1 : 0);
    return parts;
}

// value * 86400000 rounded to the nearest integer, ties to even, from the exact
// product (fma recovers what the multiplication rounded away).
std::int64_t RoundToMs(double value) {
    constexpr double kScale = static_cast<double>(kMsPerDay);
    const double product = value * kScale;
    const double lost = std::fma(value, kScale, -product);
    const double nearest = std::nearbyint(product);
    const double above = product - nearest;
    auto ms = static_cast<std::int64_t>(nearest);
    if (above == 0.5 && lost > 0) {
        ++ms;
    } else if (above == -0.5 && lost < 0) {
        --ms;
    }
    return ms;
}

// A day number split into day and time of day, both whole.
struct Stamp {
    std::int64_t day = 0;
    std::int64_t ms = 0;
    bool valid = false;
};

// Delphi's split of a signed millisecond count: the day carries the sign, the time of
// day is the remainder of the magnitude.
Stamp StampFromMs(std::int64_t total) {
    Stamp stamp;
    const std::int64_t magnitude = total < 0 ? -total : total;
    stamp.day = total < 0 ? -(magnitude / kMsPerDay) : magnitude / kMsPerDay;
    stamp.ms = magnitude % kMsPerDay;
    stamp.valid = stamp.day >= kFirstDay && stamp.day <= kLastDay;
    return stamp;
}

Stamp Split(double dateTime) {
    // Far outside the calendar; also keeps the conversion to int64 defined.
    if (!(std::fabs(dateTime) < 1e7)) {
        return {};
    }
    return StampFromMs(RoundToMs(dateTime));
}

double Combine(double date, double time) {
    return date >= 0 ? date + time : date - time;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int millisecond) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           millisecond >= 0 && millisecond < 1000;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

double EncodeDate(int year, int month, int day) {
    assert(IsValidDate(year, month, day) && "EncodeDate needs a valid date");
    return static_cast<double>(DaysFromCivil(year, month, day) + kDaysToUnixEpoch);
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
    assert(IsValidTime(hour, minute, second, millisecond) && "EncodeTime needs a valid time");
    const int ms = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    return ms / static_cast<double>(kMsPerDay);
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
    return Combine(EncodeDate(year, month, day), EncodeTime(hour, minute, second, millisecond));
}

DateParts DecodeDate(double dateTime) {
    const Stamp stamp = Split(dateTime);
    if (!stamp.valid) {
        return {};
    }
    return DatePartsFromDays(stamp.day - kDaysToUnixEpoch);
}

TimeParts DecodeTime(double dateTime) {
    const Stamp stamp = Split(dateTime);
    if (!stamp.valid) {
        return {};
    }
    const auto ms = static_cast<int>(stamp.ms);
    return {ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000};
}

double TimeOfDayOf(double dateTime) {
    const TimeParts t = DecodeTime(dateTime);
    return EncodeTime(t.hour, t.minute, t.second, t.millisecond);
}

int DayOfWeek(double dateTime) {
    const Stamp stamp = Split(dateTime);
    if (!stamp.valid) {
        return 0;
    }
    // Day 0, 1899-12-30, was a Saturday; the shift keeps the remainder non-negative.
    return static_cast<int>((stamp.day - kFirstDay + 1) % 7) + 1;
}

double DateOf(double dateTime) {
    return std::trunc(dateTime);
}

double TimeOf(double dateTime) {
    return dateTime - std::trunc(dateTime);
}

double FromUnixMs(std::int64_t localMs) {
    std::int64_t days = localMs / kMsPerDay;
    std::int64_t ms = localMs % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --days;
    }
    const auto date = static_cast<double>(days + kDaysToUnixEpoch);
    return Combine(date, static_cast<double>(ms) / static_cast<double>(kMsPerDay));
}

std::int64_t ToUnixMs(double dateTime) {
    if (!(std::fabs(dateTime) < 1e9)) {
        return 0;
    }
    const Stamp stamp = StampFromMs(RoundToMs(dateTime));
    return (stamp.day - kDaysToUnixEpoch) * kMsPerDay + stamp.ms;
}

}  // namespace tarvedde
