// Shared arithmetic of per-value processing, the conversion tables and the weekday mask.
// Runs for every item every cycle: no allocation beyond the texts it returns, and every
// result is either finite or reported as a failure.
#include "engine/processing/value_steps.h"

#include <algorithm>
#include <cmath>

#include "engine/processing/per_value_processing.h"
#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

const char* const kTableModeTexts[] = {"Einzelw. Tab.: ", "Integral Tab.: ", "Gleitend Tab.: "};

std::string_view TableModeText(int mode) {
    return mode >= 0 && mode <= 2 ? kTableModeTexts[mode] : "";
}

void LogTableStep(const TableConversion& conversion, int t, int mode, int k, double original,
                  double result) {
    const ConversionTable& table = conversion.tables[static_cast<std::size_t>(t)];
    const auto number = [&](double value) { return FormatFixed(value, 15, 2, conversion.locale); };
    const auto x = [&](int n) { return number(table.x[static_cast<std::size_t>(n)]); };
    const auto y = [&](int n) { return number(table.y[static_cast<std::size_t>(n)]); };
    const std::string head = std::string(TableModeText(mode)) + std::to_string(t);
    conversion.log.WriteLog(head + " --> Orig.= " + number(original) + " x1= " + x(k - 1) +
                            " x2= " + x(k));
    conversion.log.WriteLog(head + " -->  Neu = " + number(result) + " y1= " + y(k - 1) +
                            " y2= " + y(k));
}

}  // namespace

double Finite(double value) {
    if (!std::isfinite(value)) {
        throw ArithmeticFailure();
    }
    return value;
}

double ElapsedCycleDays(const CycleTimes& cycle) {
    return static_cast<double>(cycle.cycleElapsedMs - cycle.previousCycleElapsedMs) /
           static_cast<double>(kMsPerDay);
}

std::optional<double> ConvertUnit(const ValueConversion& conversion, double value) {
    const double converted = value * conversion.conversionFactor / conversion.conversionDivisor;
    if (!std::isfinite(converted)) {
        return std::nullopt;
    }
    return converted;
}

Rate RateOf(double value, int timeBase, double dtDays, double marker) {
    if (!(dtDays > kHalfSecondDays)) {
        return {RateKind::kNoSpan, 0.0};
    }
    double rate = marker;
    switch (timeBase) {
        case 1:
            rate = value / (dtDays * 86400.0);
            break;
        case 2:
            rate = value / (dtDays * 1440.0);
            break;
        case 3:
            rate = value / (dtDays * 24.0);
            break;
        case 4:
            rate = value / dtDays;
            break;
        default:
            break;
    }
    if (!std::isfinite(rate)) {
        return {RateKind::kNotFinite, 0.0};
    }
    return {RateKind::kRate, rate};
}

namespace {

void TakeReading(CounterDifferenceState& counter, double reading, double difference,
                 const CycleTimes& times) {
    counter.difference = difference;
    counter.lastReading = reading;
    counter.pendingReading = -1.0;
    counter.previousReadingTime = counter.lastReadingTime;
    counter.lastReadingTime = times.cycleTime;
    counter.previousReadingElapsedMs = counter.lastReadingElapsedMs;
    counter.lastReadingElapsedMs = times.cycleElapsedMs;
}

}  // namespace

std::optional<CounterStep> TakeCounterDifference(CounterDifferenceState& counter, double reading,
                                                 const CycleTimes& times, double loLimit,
                                                 double upLimit) {
    if (!(reading > 0.0)) {
        return CounterStep{reading, CounterEvent::kNone};
    }
    if (counter.lastReadingTime < 0.0) {
        counter.difference = 0.0;
        counter.lastReading = reading;
        counter.pendingReading = -1.0;
        counter.lastReadingTime = times.cycleTime;
        counter.lastReadingElapsedMs = times.cycleElapsedMs;
        counter.previousReadingElapsedMs = -1;
        return CounterStep{0.0, CounterEvent::kInitialised};
    }
    CounterStep step{reading - counter.lastReading, CounterEvent::kNone};
    if (!std::isfinite(step.value)) {
        return std::nullopt;
    }
    const auto plausible = [&](double difference) {
        return loLimit <= difference && difference <= upLimit;
    };
    // A reset or wrap starts again near zero. A reading only a little lower (a correction
    // in the PLC, an older value after a reconnect) counts nothing and, like a spike the
    // limits reject, leaves the last reading: taken, the way back would count again.
    if (step.value < 0.0 && reading < counter.lastReading / 2) {
        step = CounterStep{reading, CounterEvent::kReset};
    } else if (step.value < 0.0) {
        return CounterStep{0.0, CounterEvent::kFellBack};
    } else if (!plausible(step.value)) {
        // A jump that the next reading confirms is the meter's new level: without it the
        // counter would count nothing for ever. What it ran since that level counts.
        if (!(counter.pendingReading > 0.0 && plausible(reading - counter.pendingReading))) {
            counter.pendingReading = reading;
            counter.pendingReadingTime = times.cycleTime;
            counter.pendingReadingElapsedMs = times.cycleElapsedMs;
            return CounterStep{step.value, CounterEvent::kRejected};
        }
        step = CounterStep{reading - counter.pendingReading, CounterEvent::kRebased};
    }
    const bool rebased = step.event == CounterEvent::kRebased;
    const double pendingTime = counter.pendingReadingTime;
    const std::int64_t pendingMs = counter.pendingReadingElapsedMs;
    TakeReading(counter, reading, step.value, times);
    // Its step spans the time since the confirmed reading, for a rate over it.
    if (rebased) {
        counter.previousReadingTime = pendingTime;
        counter.previousReadingElapsedMs = pendingMs;
    }
    return step;
}

void UpdateAverage(ItemStatistics& statistics, double value) {
    const double average =
        ((statistics.count - 1.0) * statistics.average + value) / statistics.count;
    statistics.average = std::isfinite(average) ? average : 0.0;
}

void UpdateExtremes(ItemStatistics& statistics, double value) {
    if (value > statistics.maximum) {
        statistics.maximum = value;
    }
    if (value < statistics.minimum) {
        statistics.minimum = value;
    }
}

std::string GridText(const Configuration& config, const Locale& locale, double value) {
    return GridText(config, locale, value, config.Settings().formatDecimals);
}

std::string GridText(const Configuration& config, const Locale& locale, double value,
                     int decimals) {
    return FormatFixed(Finite(value), config.Settings().formatPrecision, decimals, locale);
}

std::string LogNumber(const Locale& locale, double value) {
    return FormatFixed(value, 15, 2, locale);
}

bool ConvertByTable(const TableConversion& conversion, int tableNumber, double& value, int mode) {
    if (tableNumber < 1 || tableNumber > 2) {
        return false;
    }
    const ConversionTable& table = conversion.tables[static_cast<std::size_t>(tableNumber)];
    const int pointCount = std::min(table.pointCount, maxTablePoints);
    const auto x = [&](int n) { return table.x[static_cast<std::size_t>(n)]; };
    const auto y = [&](int n) { return table.y[static_cast<std::size_t>(n)]; };
    int k = 1;
    while (value > x(k)) {
        ++k;
        if (pointCount <= k) {
            value = y(k);
            return true;
        }
    }
    if (k == 1) {
        value = 0.0;
        return true;
    }
    // The loop stopped at x[k-1] < value <= x[k], so the two never coincide here.
    const double slope = (y(k) - y(k - 1)) / (x(k) - x(k - 1));
    const double intercept = y(k - 1) - slope * x(k - 1);
    const double result = value * slope + intercept;
    if (!std::isfinite(result)) {
        return false;
    }
    if (conversion.log.Settings().tabelLog) {
        LogTableStep(conversion, tableNumber, mode, k, value, result);
    }
    value = result;
    return true;
}

bool DayMatches(int dayOfWeek, int mask) {
    if (dayOfWeek < 1 || dayOfWeek > 7) {
        return false;
    }
    return (static_cast<unsigned>(mask) >> (dayOfWeek - 1) & 1U) != 0;
}

}  // namespace tarvedde
