// Arithmetic steps that normal and mirrored items share: unit conversion, rates,
// counter differences, the running mean and the number texts of the grid and the log.
// The processor's float exceptions are modelled by finiteness: a step whose result is not
// a finite number has failed, and no such number ever reaches a statistic, a grid cell or
// a file.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "engine/config/configuration.h"
#include "engine/model/cycle_times.h"

namespace tarvedde {

// Thrown inside the processing of one item when a step without a failure text of its own
// gets a result that is not finite; the item's guard logs it.
class ArithmeticFailure : public std::exception {
public:
    const char* what() const noexcept override { return "arithmetic failure"; }
};

// `value` itself, or ArithmeticFailure.
double Finite(double value);

// 0.0 for an empty text, -1.0 for one that does not parse with the locale's separator.
double ParseValueText(std::string_view text, const Locale& locale);
// The number of a cleaned text; nothing for an empty text or one that does not parse:
// such a text is no valid value and is counted nowhere.
std::optional<double> ReadValueText(std::string_view text, const Locale& locale);

// Two cycles closer than this (half a second) carry no rate.
inline constexpr double kHalfSecondDays = 5.787037037037037e-06;

// Days between the two cycles by the elapsed clock, so clock steps never show.
double ElapsedCycleDays(const CycleTimes& cycle);

// value × factor / divisor; nullopt when that is not finite.
std::optional<double> ConvertUnit(const ValueConversion& conversion, double value);

enum class RateKind { kRate, kNoSpan, kNotFinite };

struct Rate {
    RateKind kind = RateKind::kRate;
    double value = 0.0;
};

// `value` per time base (1 second, 2 minute, 3 hour, 4 day) over `dtDays`, `marker` for
// any other time base. A span not above half a second (also negative or NaN) gives no
// rate at all: kNoSpan.
Rate RateOf(double value, int timeBase, double dtDays, double marker);

enum class CounterEvent { kNone, kInitialised, kReset, kFellBack, kRejected, kRebased };

struct CounterStep {
    double value = 0.0;
    CounterEvent event = CounterEvent::kNone;
};

// The counter difference for a positive reading (other readings pass unchanged and leave
// the state alone). A reading a little lower than the last, or one whose difference lies
// outside loLimit..upLimit (kRejected, the difference is returned for the limit check),
// leaves the last reading; a rejected jump that the next reading confirms becomes the new
// last reading (kRebased, 0). nullopt, with the state untouched, when the difference is
// not finite.
std::optional<CounterStep> TakeCounterDifference(CounterDifferenceState& counter, double reading,
                                                 const CycleTimes& times, double loLimit,
                                                 double upLimit);

// ((count − 1) × average + value) / count, 0.0 when that is not finite; count is already
// increased.
void UpdateAverage(ItemStatistics& statistics, double value);
void UpdateExtremes(ItemStatistics& statistics, double value);

// Output number format of the grid; ArithmeticFailure for a value that is not finite.
std::string GridText(const Configuration& config, const Locale& locale, double value);
std::string GridText(const Configuration& config, const Locale& locale, double value, int decimals);
// Numbers in log lines: precision 15, 2 decimals.
std::string LogNumber(const Locale& locale, double value);

}  // namespace tarvedde
