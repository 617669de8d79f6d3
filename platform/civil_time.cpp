// Hinnant's days-from-civil algorithms (400-year eras), integer-only and exact.
#include "platform/civil_time.h"

#include <algorithm>
#include <cmath>

namespace tarvedde::civil {

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

int WeekdayFromDays(std::int64_t days) {
    // 1970-01-01 was a Thursday.
    return static_cast<int>(FloorMod(days + 4, 7));
}

double DayNumberFromLocalMs(std::int64_t localMs) {
    const std::int64_t day = FloorDiv(localMs, kMsPerDay) + kUnixEpochDayNumber;
    const double fraction =
        static_cast<double>(FloorMod(localMs, kMsPerDay)) / static_cast<double>(kMsPerDay);
    const double whole = static_cast<double>(day);
    return day >= 0 ? whole + fraction : whole - fraction;
}

std::int64_t LocalMsFromDayNumber(double dayNumber) {
    // Far beyond any calendar in use; keeps the integer conversion defined.
    constexpr double kLimit = 1e8;
    if (std::isnan(dayNumber)) {
        dayNumber = 0;
    }
    dayNumber = std::clamp(dayNumber, -kLimit, kLimit);
    const double whole = dayNumber >= 0 ? std::floor(dayNumber) : std::ceil(dayNumber);
    const double fraction = std::fabs(dayNumber - whole);
    const auto day = static_cast<std::int64_t>(whole);
    const auto timeMs =
        static_cast<std::int64_t>(std::llround(fraction * static_cast<double>(kMsPerDay)));
    return (day - kUnixEpochDayNumber) * kMsPerDay + timeMs;
}

}  // namespace tarvedde::civil
