// One item per call of ProcessNextItem: the newest value text becomes a number that is
// calibrated, clamped, converted and differentiated, then checked against the limits,
// folded into the day statistics and written to the item's column of the live grid.
// Runs for up to 180 items every cycle. A failure in one item is logged and never stops
// the cycle; no value that is not finite reaches a statistic, the grid or a file.
#include "engine/processing/per_value_processing.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "engine/model/kept_ini_file.h"
#include "engine/processing/processing_pass.h"
#include "engine/processing/value_steps.h"
#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

// The reading as a number: cleaned text, calibration, clamping and the conversion table;
// nothing when the text is no number (or none came since the start).
std::optional<double> ReadValue(const ProcessingPass& pass, int item) {
    const ItemConfig& config = pass.config.Items()[item];
    const GeneralSettings& settings = pass.config.Settings();
    const std::string text = CleanValueText(pass.cycle.sources[item].newestText,
                                            settings.valuePrefix, settings.valueSuffix);
    const std::optional<double> number = ReadValueText(text, pass.locale);
    if (!number) {
        return std::nullopt;
    }
    double value = Finite(*number * config.calibrationSlope + config.calibrationIntercept);
    if (value < config.effectiveLoLimit) {
        value = config.effectiveLoLimit;
    }
    // Past UpLimit a counter's clamped reading would stand still and every difference be
    // 0, silently; its difference meets the limits after it is taken.
    if (value > config.effectiveUpLimit && !config.Differenz) {
        value = config.effectiveUpLimit;
    }
    if (config.Tabelle_benutzen > 0 &&
        !ConvertByTable({pass.config.Tables(), pass.log, pass.locale}, config.Tabelle_benutzen,
                        value, 0)) {
        throw ArithmeticFailure();
    }
    return value;
}

void LimitDigitalValue(const ProcessingPass& pass, int item, double& value) {
    if (pass.config.Items()[item].Grafiktyp != 2 || !(value > 1.01)) {
        return;
    }
    pass.log.WriteLogDetail("Digitaler Neuwert (> 1 !) = " + FormatFixed(value, 5, 2, pass.locale));
    value = 1.0;
}

// False for a rate over no time span (the first cycle of a start): that is no value.
bool ConvertValue(const ProcessingPass& pass, int item, double& value) {
    const ValueConversion& conversion = pass.config.Items()[item].valueConversion;
    if (!conversion.conversionOn) {
        return true;
    }
    if (const auto converted = ConvertUnit(conversion, value)) {
        value = *converted;
    } else {
        pass.log.WriteLog("Fehler bei Umrechnung des Wertes !");
    }
    if (conversion.timeBase <= 0) {
        return true;
    }
    const Rate rate =
        RateOf(value, conversion.timeBase, ElapsedCycleDays(pass.cycle.times), 8888.0);
    if (rate.kind == RateKind::kNoSpan) {
        return false;
    }
    if (rate.kind == RateKind::kRate) {
        value = rate.value;
    } else {
        pass.log.WriteLog("Fehler bei Umrechnung des Wertes !");
    }
    return true;
}

// An item's change to and from having no valid value is logged once.
void NoteValueState(const ProcessingPass& pass, int item, bool valid) {
    ValueState& state = pass.valueStates[item];
    if (valid) {
        if (state == ValueState::kMissing) {
            pass.log.WriteLog("Item " + std::to_string(item) + " : wieder gültige Werte.");
        }
        state = ValueState::kValid;
        return;
    }
    // Nothing since the start is no failure yet.
    if (state == ValueState::kMissing ||
        (state == ValueState::kNoneYet && pass.cycle.sources[item].newestText.empty())) {
        return;
    }
    pass.log.WriteLog("Item " + std::to_string(item) + " : kein gültiger Wert, nicht gezählt.");
    state = ValueState::kMissing;
}

// The item dialog shows a slope to ten places and reads back what it showed: a slope
// saved unchanged differs from the loaded one in its last digits.
bool SameCalibration(std::pair<double, double> a, std::pair<double, double> b) {
    const auto close = [](double x, double y) {
        return std::fabs(x - y) <= 1e-9 * (1.0 + std::max(std::fabs(x), std::fabs(y)));
    };
    return close(a.first, b.first) && close(a.second, b.second);
}

void TakeDifference(const ProcessingPass& pass, int item, double& value) {
    auto& counter = pass.values.counterDifferences[item];
    const ItemConfig& config = pass.config.Items()[item];
    // A reading under another calibration is on another scale: its difference to the last
    // one would count the whole shift of the reading as consumption, or a fall for weeks.
    const std::pair calibration{config.calibrationSlope, config.calibrationIntercept};
    if (counter.readingCalibration && !SameCalibration(*counter.readingCalibration, calibration) &&
        counter.lastReadingTime >= 0.0) {
        pass.log.WriteLog("Kalibrierung von Item " + std::to_string(item) +
                          " geändert, Differenz neu initialisiert.");
        counter.StartAgain();
    }
    counter.readingCalibration = calibration;
    const auto step = TakeCounterDifference(counter, value, pass.cycle.times,
                                            config.effectiveLoLimit, config.effectiveUpLimit);
    if (!step) {
        throw ArithmeticFailure();
    }
    const std::string number = std::to_string(item);
    if (step->event == CounterEvent::kInitialised) {
        pass.log.WriteLogDetail("Differenz für Item " + number + " neu initialisiert.");
    } else if (step->event == CounterEvent::kReset) {
        pass.log.WriteLogDetail("SPS : Differenz für Item " + number + " neu initialisiert !");
    } else if (step->event == CounterEvent::kFellBack) {
        pass.log.WriteLog("Zählerstand von Item " + number + " gesunken, Differenz 0.");
    } else if (step->event == CounterEvent::kRebased) {
        pass.log.WriteLog("Zählerstand von Item " + number +
                          " bestätigt, Differenz neu initialisiert.");
    }
    value = step->value;
}

void CheckWarning(const ProcessingPass& pass, LimitWarnings& warnings, int item, double value) {
    const ItemConfig& config = pass.config.Items()[item];
    if (!(config.UpWarn > 0.001 || config.UpWarn < -0.001)) {
        return;
    }
    if (!(value > config.UpWarn || value < config.LoWarn)) {
        return;
    }
    if (const int other = config.WarnFlag2; other > 0) {
        if (other > maxItems) {
            return;
        }
        const double otherValue = pass.values.statistics[other].currentValue;
        const bool met =
            config.WarnComp2 ? otherValue > config.WarnLevel2 : otherValue < config.WarnLevel2;
        if (!met) {
            return;
        }
    }
    warnings.CheckLimitWarning(item, value);
}

void AccumulateAnalog(const ProcessingPass& pass, int item, double value) {
    ItemStatistics& statistics = pass.values.statistics[item];
    statistics.previousValue = statistics.currentValue;
    statistics.currentValue = value;
    statistics.count += 1.0;
    if (pass.log.Settings().debugLog) {
        pass.log.WriteLogDebug("Item " + std::to_string(item) +
                               " : Anz = " + FormatFixed(statistics.count, 5, 0, pass.locale));
    }
    statistics.sum += value;
    if (!std::isfinite(statistics.sum)) {
        pass.log.WriteLog("Überlauf bei Summe ! Zurückgesetzt.");
        statistics.sum = 0.0;
    }
    UpdateAverage(statistics, value);
}

void CorrectMinimumAfterRestart(const ProcessingPass& pass, int item) {
    ItemStatistics& statistics = pass.values.statistics[item];
    if (statistics.correctionCount < 0.0) {
        return;
    }
    // Only the first value after the restart is corrected. A count that does not follow
    // the restored one was reset since (day change, manual reset); climbing back to it
    // later must not bring back a minimum of another day.
    const bool followsRestart = statistics.correctionCount + 1.0 == statistics.count;
    statistics.correctionCount = -2.0;
    if (!followsRestart) {
        return;
    }
    pass.log.WriteLog("****** Korrektur: Item " + std::to_string(item) + " .Min => " +
                      LogNumber(pass.locale, statistics.correctionMinimum) +
                      "(alt: " + LogNumber(pass.locale, statistics.minimum) + ")");
    statistics.minimum = statistics.correctionMinimum;
}

// Limits, warning and the day statistics; an item in maintenance or a value outside the
// limits is not counted and ends as 0.0.
void AcceptValue(const ProcessingPass& pass, LimitWarnings& warnings, int item, double& value) {
    const ItemConfig& config = pass.config.Items()[item];
    ItemStatistics& statistics = pass.values.statistics[item];
    const bool withinLimits = config.effectiveLoLimit <= value && value <= config.effectiveUpLimit;
    if (!withinLimits || config.maintenanceOn) {
        pass.log.WriteLog("****** Grenzwertüberschreitung: Item " + std::to_string(item) + " = " +
                          LogNumber(pass.locale, value));
        value = 0.0;
        return;
    }
    pass.counted[item] = true;
    CheckWarning(pass, warnings, item, value);
    if (config.Grafiktyp == 1) {
        AccumulateAnalog(pass, item, value);
    } else {
        // The on/off state is what a warning conditioned on this item, and a mirror of
        // it, compare; without it they saw 0 for ever.
        statistics.previousValue = statistics.currentValue;
        statistics.currentValue = value;
        if (value > 0.5) {
            statistics.count += pass.operatingHoursPerCycle;
            statistics.sum = statistics.count;
        }
    }
    UpdateExtremes(statistics, value);
    CorrectMinimumAfterRestart(pass, item);
}

// Rows 2 and 3: the fifteen-minute extremes when the item keeps them, else the day's.
std::pair<double, double> ShownExtremes(const ProcessingPass& pass,
                                        const FifteenMinuteValues& fifteen, int item) {
    const ItemStatistics& statistics = pass.values.statistics[item];
    if (pass.config.Items()[item].M15_berechnen) {
        if (const auto window = fifteen.Extremes(item)) {
            if (window->minimum < window->maximum) {
                return {window->minimum, window->maximum};
            }
            return {window->maximum, window->minimum};
        }
    }
    return {statistics.minimum, statistics.maximum};
}

void WriteGridColumn(const ProcessingPass& pass, const FifteenMinuteValues& fifteen, int item,
                     double value) {
    const ItemConfig& config = pass.config.Items()[item];
    const ItemStatistics& statistics = pass.values.statistics[item];
    LiveGrid& grid = pass.cycle.grid;
    const bool analog = config.Grafiktyp == 1;
    const auto [shownMinimum, shownMaximum] = ShownExtremes(pass, fifteen, item);
    grid.SetCell(item, grid.CurrentRow(), GridText(pass.config, pass.locale, value));
    grid.SetCell(item, 1, GridText(pass.config, pass.locale, statistics.average));
    grid.SetCell(item, 2, GridText(pass.config, pass.locale, shownMinimum));
    grid.SetCell(item, 3, GridText(pass.config, pass.locale, shownMaximum));
    grid.SetCell(item, 4,
                 analog ? GridText(pass.config, pass.locale, statistics.count, 0)
                        : GridText(pass.config, pass.locale, statistics.count));
    if (!analog) {
        grid.SetCell(item, 5, GridText(pass.config, pass.locale, statistics.count));
    }
    if (config.Differenz) {
        grid.SetCell(item, 5, GridText(pass.config, pass.locale, statistics.sum));
    }
    if (config.Integral) {
        // A flow that stands sends no samples: its sum so far runs on at its last value.
        const CycleTimes& times = pass.cycle.times;
        const double sum = RunningSumAt(config, pass.cycle.integration[item], times.cycleTime,
                                        times.cycleElapsedMs);
        grid.SetCell(item, 5, GridText(pass.config, pass.locale, sum));
    }
}

void NoteDayCounter(const ProcessingPass& pass, int item) {
    pass.dayCounters.push_back(
        {"Item_" + std::to_string(item), "Tageszähler", pass.cycle.grid.Cell(item, 5)});
}

void ShowMovingAverage(const ProcessingPass& pass, const MovingAverages& averages, int item) {
    const auto moving = averages.Current(item);
    if (!moving) {
        return;
    }
    LiveGrid& grid = pass.cycle.grid;
    grid.SetCell(item, grid.CurrentRow(), GridText(pass.config, pass.locale, moving->average));
    // A minimum this high means the window is not full yet: no extremes to show.
    const bool windowFull = !(moving->minimum > 999999.0);
    grid.SetCell(item, 2, GridText(pass.config, pass.locale, windowFull ? moving->minimum : 0.0));
    grid.SetCell(
        item, 3,
        GridText(pass.config, pass.locale, windowFull ? moving->maximum : moving->average));
}

void WriteDebugLine(const ProcessingPass& pass, int item) {
    const LiveGrid& grid = pass.cycle.grid;
    const std::string& current = grid.Cell(item, grid.CurrentRow());
    const std::string& name = pass.config.Items()[item].itemName;
    if (pass.config.Items()[item].Grafiktyp == 1) {
        pass.log.WriteLogDebug("*** " + name + "  Anz=" + grid.Cell(item, 4) +
                               "   Wert=" + current);
    } else {
        pass.log.WriteLogDebug("*** " + name + "  Wert=" + current);
    }
}

void ProcessItem(const ProcessingPass& pass, const StatisticsJoins& joins, int item, int weekday) {
    const ItemConfig& config = pass.config.Items()[item];
    if (config.mirror.mirrorOn) {
        return;
    }
    if (pass.config.Settings().saveRawData) {
        pass.log.WriteRawData(pass.cycle.sources[item].newestText, ';');
    }
    const std::optional<double> reading = ReadValue(pass, item);
    NoteValueState(pass, item, reading.has_value());
    double value = reading.value_or(0.0);
    bool counted = reading.has_value();
    if (counted) {
        LimitDigitalValue(pass, item, value);
        counted = ConvertValue(pass, item, value);
    }
    // Without a value the item is left out as a value outside the limits is, but silently
    // every cycle and with the counter untouched.
    if (!counted) {
        value = 0.0;
    } else if (config.Differenz) {
        TakeDifference(pass, item, value);
    }
    if (config.timeFrame.on && DayMatches(weekday, config.Tagesauswahl)) {
        joins.timeFrames.CheckTimeFrame(item);
    }
    ItemStatistics& statistics = pass.values.statistics[item];
    if (config.maintenanceOn) {
        statistics.currentValue = statistics.previousValue;
    }
    if (counted) {
        AcceptValue(pass, joins.limitWarnings, item, value);
    }
    if (config.maintenanceOn) {
        value = statistics.previousValue;
    }
    if (counted) {
        joins.fifteenMinuteValues.UpdateFifteenMinuteValues(item, value);
    }
    WriteGridColumn(pass, joins.fifteenMinuteValues, item, value);
    if (config.Fortlaufend_summieren) {
        NoteDayCounter(pass, item);
    }
    if (config.Gleitend) {
        ShowMovingAverage(pass, joins.movingAverages, item);
    }
    if (pass.log.Settings().debugLog) {
        WriteDebugLine(pass, item);
    }
}

// Work after the last item must not escape either: an exception here would leave the
// cycle unfinished and every later tick would count as a timeout.
template <class Work>
void Guarded(ProgramLog& log, Work&& work) {
    try {
        work();
    } catch (...) {
        log.WriteLog("Main : Exception (2)");
    }
}

}  // namespace

ValueProcessor::ValueProcessor(const Configuration& config, FileSystem& files, ProgramLog& log,
                               const Locale& locale, StatisticsJoins joins)
    : config_(config), files_(files), log_(log), locale_(locale), joins_(joins) {}

bool ValueProcessor::ProcessNextItem(const CycleData& cycle) {
    const int weekday = DayOfWeek(cycle.times.cycleTime);
    ++currentItem_;
    if (currentItem_ == 1) {
        cycle.grid.AdvanceRow(cycle.previousCycleText);
        CountCycleOperatingHours(cycle.times.cycleElapsedMs);
    }
    if (currentItem_ > config_.Settings().itemCount || currentItem_ > maxItems) {
        return true;
    }
    const ProcessingPass pass = Pass(cycle);
    Guarded(log_, [&] { ProcessItem(pass, joins_, currentItem_, weekday); });
    return false;
}

void ValueProcessor::FinishItems(const CycleData& cycle) {
    WriteDayCounters();
    const ProcessingPass pass = Pass(cycle);
    Guarded(log_, [&] { ProcessMirroredItems(pass, joins_.timeFrames); });
    Guarded(log_, [&] { joins_.timeFrames.CheckTimeTables(); });
    log_.FlushRawData();
    cycle.grid.NotifyChanged();
}

// The first cycle of the program counts a whole interval, as every cycle did before.
void ValueProcessor::CountCycleOperatingHours(std::int64_t cycleMs) {
    cycleOperatingHours_ = operatingHoursPerCycle_;
    if (previousCycleMs_ >= 0 && cycleMs >= previousCycleMs_) {
        cycleOperatingHours_ = std::min(
            operatingHoursPerCycle_, static_cast<double>(cycleMs - previousCycleMs_) / 3'600'000.0);
    }
    previousCycleMs_ = cycleMs;
}

ProcessingPass ValueProcessor::Pass(const CycleData& cycle) {
    return {config_, values_,      cycle,   cycleOperatingHours_, dayCounters_, log_,
            locale_, valueStates_, counted_};
}

// One write a cycle, and none when no counter moved.
void ValueProcessor::WriteDayCounters() {
    if (dayCounters_.empty()) {
        return;
    }
    // A counter that cannot be written is written again next cycle; nothing to report.
    (void)KeptIniFile(counterIniFile_, files_, config_.PathOf(kCounterIniFile))
        .WriteStrings(dayCounters_);
    dayCounters_.clear();
}

void ValueProcessor::ResetDayStatistics() {
    for (int n = 1; n <= maxItems; ++n) {
        ItemStatistics& statistics = values_.statistics[n];
        statistics.count = 0.0;
        statistics.minimum = kMinimumReset;
        statistics.maximum = kMaximumReset;
        statistics.sum = 0.0;
        statistics.previousValue = 8886.0;
    }
}

}  // namespace tarvedde
