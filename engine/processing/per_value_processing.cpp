// One item per call of ProcessNextItem: the newest value text becomes a number that is
// calibrated, clamped, converted and differentiated, then checked against the limits,
// folded into the day statistics and written to the item's column of the live grid.
// Runs for up to 180 items every cycle. A failure in one item is logged and never stops
// the cycle; no value that is not finite reaches a statistic, the grid or a file.
#include "engine/processing/per_value_processing.h"

#include <cmath>
#include <string>
#include <utility>

#include "engine/processing/value_steps.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

// The reading as a number: cleaned text, calibration, clamping and the conversion table.
double ReadValue(const Configuration& configuration, EngineState& state, int item) {
    const ItemConfig& config = configuration.Items()[item];
    const GeneralSettings& settings = configuration.Settings();
    const std::string text =
        CleanValueText(state.sources[item].newestText, settings.valuePrefix, settings.valueSuffix);
    double value = ParseValueText(text, state.locale);
    value = Finite(value * config.calibrationSlope + config.calibrationIntercept);
    if (value < config.effectiveLoLimit) {
        value = config.effectiveLoLimit;
    }
    if (value > config.effectiveUpLimit) {
        value = config.effectiveUpLimit;
    }
    if (config.Tabelle_benutzen > 0 &&
        !ConvertByTable({configuration.Tables(), state.log, state.locale}, config.Tabelle_benutzen,
                        value, 0)) {
        throw ArithmeticFailure();
    }
    return value;
}

void LimitDigitalValue(const Configuration& configuration, EngineState& state, int item,
                       double& value) {
    if (configuration.Items()[item].Grafiktyp != 2 || !(value > 1.01)) {
        return;
    }
    state.log.WriteLogDetail("Digitaler Neuwert (> 1 !) = " +
                             FormatFixed(value, 5, 2, state.locale));
    value = 1.0;
}

void ConvertValue(const Configuration& configuration, EngineState& state, int item, double& value) {
    const ValueConversion& conversion = configuration.Items()[item].valueConversion;
    if (!conversion.conversionOn) {
        return;
    }
    if (const auto converted = ConvertUnit(conversion, value)) {
        value = *converted;
    } else {
        state.log.WriteLog("Fehler bei Umrechnung des Wertes !");
    }
    if (conversion.timeBase <= 0) {
        return;
    }
    if (const auto rate = RateOf(value, conversion.timeBase, ElapsedCycleDays(state), 8888.0)) {
        value = *rate;
    } else {
        state.log.WriteLog("Fehler bei Umrechnung des Wertes !");
    }
}

void TakeDifference(EngineState& state, int item, double& value) {
    auto& counter = state.counterDifferences[item];
    const auto step = TakeCounterDifference(counter, value, state.cycleTime);
    if (!step) {
        throw ArithmeticFailure();
    }
    const std::string number = std::to_string(item);
    if (step->event == CounterEvent::kInitialised) {
        state.log.WriteLogDetail("Differenz für Item " + number + " neu initialisiert.");
    } else if (step->event == CounterEvent::kReset) {
        state.log.WriteLogDetail("SPS : Differenz für Item " + number + " neu initialisiert !");
    }
    value = step->value;
}

void CheckWarning(const Configuration& configuration, EngineState& state, LimitWarnings& warnings,
                  int item, double value) {
    const ItemConfig& config = configuration.Items()[item];
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
        const double otherValue = state.statistics[other].currentValue;
        const bool met =
            config.WarnComp2 ? otherValue > config.WarnLevel2 : otherValue < config.WarnLevel2;
        if (!met) {
            return;
        }
    }
    warnings.CheckLimitWarning(item, value);
}

void AccumulateAnalog(EngineState& state, int item, double value) {
    ItemStatistics& statistics = state.statistics[item];
    statistics.previousValue = statistics.currentValue;
    statistics.currentValue = value;
    statistics.count += 1.0;
    if (state.log.Settings().debugLog) {
        state.log.WriteLogDebug("Item " + std::to_string(item) +
                                " : Anz = " + FormatFixed(statistics.count, 5, 0, state.locale));
    }
    statistics.sum += value;
    if (!std::isfinite(statistics.sum)) {
        state.log.WriteLog("Überlauf bei Summe ! Zurückgesetzt.");
        statistics.sum = 0.0;
    }
    UpdateAverage(statistics, value);
}

void CorrectMinimumAfterRestart(EngineState& state, int item) {
    ItemStatistics& statistics = state.statistics[item];
    if (statistics.correctionCount + 1.0 != statistics.count) {
        return;
    }
    state.log.WriteLog("****** Korrektur: Item " + std::to_string(item) + " .Min => " +
                       LogNumber(state, statistics.correctionMinimum) +
                       "(alt: " + LogNumber(state, statistics.minimum) + ")");
    statistics.minimum = statistics.correctionMinimum;
    statistics.correctionCount = -2.0;
}

// Limits, warning and the day statistics; an item in maintenance or a value outside the
// limits is not counted and ends as 0.0.
void AcceptValue(const Configuration& configuration, EngineState& state, LimitWarnings& warnings,
                 int item, double& value) {
    const ItemConfig& config = configuration.Items()[item];
    ItemStatistics& statistics = state.statistics[item];
    const bool withinLimits = config.effectiveLoLimit <= value && value <= config.effectiveUpLimit;
    if (!withinLimits || config.maintenanceOn) {
        state.log.WriteLog("****** Grenzwertüberschreitung: Item " + std::to_string(item) + " = " +
                           LogNumber(state, value));
        value = 0.0;
        return;
    }
    CheckWarning(configuration, state, warnings, item, value);
    if (config.Grafiktyp == 1) {
        AccumulateAnalog(state, item, value);
    } else if (value > 0.5) {
        statistics.count += state.operatingHoursPerCycle;
        statistics.sum = statistics.count;
    }
    UpdateExtremes(statistics, value);
    CorrectMinimumAfterRestart(state, item);
}

// Rows 2 and 3: the fifteen-minute extremes when the item keeps them, else the day's.
std::pair<double, double> ShownExtremes(const Configuration& configuration, EngineState& state,
                                        const FifteenMinuteValues& fifteen, int item) {
    const ItemStatistics& statistics = state.statistics[item];
    if (configuration.Items()[item].M15_berechnen) {
        if (const auto window = fifteen.Extremes(item)) {
            if (window->minimum < window->maximum) {
                return {window->minimum, window->maximum};
            }
            return {window->maximum, window->minimum};
        }
    }
    return {statistics.minimum, statistics.maximum};
}

void WriteGridColumn(const Configuration& configuration, EngineState& state,
                     const FifteenMinuteValues& fifteen, int item, double value) {
    const ItemConfig& config = configuration.Items()[item];
    const ItemStatistics& statistics = state.statistics[item];
    LiveGrid& grid = state.grid;
    const bool analog = config.Grafiktyp == 1;
    const auto [shownMinimum, shownMaximum] = ShownExtremes(configuration, state, fifteen, item);
    grid.SetCell(item, grid.CurrentRow(), GridText(configuration, state, value));
    grid.SetCell(item, 1, GridText(configuration, state, statistics.average));
    grid.SetCell(item, 2, GridText(configuration, state, shownMinimum));
    grid.SetCell(item, 3, GridText(configuration, state, shownMaximum));
    grid.SetCell(item, 4,
                 analog ? GridText(configuration, state, statistics.count, 0)
                        : GridText(configuration, state, statistics.count));
    if (!analog) {
        grid.SetCell(item, 5, GridText(configuration, state, statistics.count));
    }
    if (config.Differenz) {
        grid.SetCell(item, 5, GridText(configuration, state, statistics.sum));
    }
    if (config.Integral) {
        grid.SetCell(item, 5, GridText(configuration, state, state.integration[item].runningSum));
    }
}

void WriteDayCounter(const Configuration& configuration, EngineState& state, int item) {
    // A counter that cannot be written is shown again next cycle; nothing to report.
    (void)state.KeptIniFile(state.counterIniFile, configuration.PathOf(kCounterIniFile))
        .WriteString("Item_" + std::to_string(item), "Tageszähler", state.grid.Cell(item, 5));
}

void ShowMovingAverage(const Configuration& configuration, EngineState& state,
                       const MovingAverages& averages, int item) {
    const auto moving = averages.Current(item);
    if (!moving) {
        return;
    }
    LiveGrid& grid = state.grid;
    grid.SetCell(item, grid.CurrentRow(), GridText(configuration, state, moving->average));
    // A minimum this high means the window is not full yet: no extremes to show.
    const bool windowFull = !(moving->minimum > 999999.0);
    grid.SetCell(item, 2, GridText(configuration, state, windowFull ? moving->minimum : 0.0));
    grid.SetCell(item, 3,
                 GridText(configuration, state, windowFull ? moving->maximum : moving->average));
}

void WriteDebugLine(const Configuration& configuration, EngineState& state, int item) {
    const LiveGrid& grid = state.grid;
    const std::string& current = grid.Cell(item, grid.CurrentRow());
    const std::string& name = configuration.Items()[item].itemName;
    if (configuration.Items()[item].Grafiktyp == 1) {
        state.log.WriteLogDebug("*** " + name + "  Anz=" + grid.Cell(item, 4) +
                                "   Wert=" + current);
    } else {
        state.log.WriteLogDebug("*** " + name + "  Wert=" + current);
    }
}

void ProcessItem(const Configuration& configuration, EngineState& state,
                 const StatisticsJoins& joins, int item, int weekday) {
    const ItemConfig& config = configuration.Items()[item];
    if (config.mirror.mirrorOn) {
        return;
    }
    if (configuration.Settings().saveRawData) {
        state.log.WriteRawData(state.sources[item].newestText, ';');
    }
    double value = ReadValue(configuration, state, item);
    LimitDigitalValue(configuration, state, item, value);
    ConvertValue(configuration, state, item, value);
    if (config.Differenz) {
        TakeDifference(state, item, value);
    }
    if (config.timeFrame.on && DayMatches(weekday, config.Tagesauswahl)) {
        joins.timeFrames.CheckTimeFrame(item);
    }
    ItemStatistics& statistics = state.statistics[item];
    if (config.maintenanceOn) {
        statistics.currentValue = statistics.previousValue;
    }
    AcceptValue(configuration, state, joins.limitWarnings, item, value);
    if (config.maintenanceOn) {
        value = statistics.previousValue;
    }
    joins.fifteenMinuteValues.UpdateFifteenMinuteValues(item, value);
    WriteGridColumn(configuration, state, joins.fifteenMinuteValues, item, value);
    if (config.Fortlaufend_summieren) {
        WriteDayCounter(configuration, state, item);
    }
    if (config.Gleitend) {
        ShowMovingAverage(configuration, state, joins.movingAverages, item);
    }
    if (state.log.Settings().debugLog) {
        WriteDebugLine(configuration, state, item);
    }
}

// Work after the last item must not escape either: an exception here would leave the
// cycle unfinished and every later tick would count as a timeout.
template <class Work>
void Guarded(EngineState& state, Work&& work) {
    try {
        work();
    } catch (...) {
        state.log.WriteLog("Main : Exception (2)");
    }
}

}  // namespace

ValueProcessor::ValueProcessor(const Configuration& config, EngineState& state,
                               StatisticsJoins joins)
    : config_(config), state_(state), joins_(joins) {}

bool ValueProcessor::ProcessNextItem() {
    const int weekday = DayOfWeek(state_.cycleTime);
    ++state_.currentItem;
    if (state_.currentItem == 1) {
        state_.grid.AdvanceRow(state_.window.lbDT);
    }
    if (state_.currentItem > config_.Settings().itemCount || state_.currentItem > maxItems) {
        return true;
    }
    Guarded(state_, [&] { ProcessItem(config_, state_, joins_, state_.currentItem, weekday); });
    return false;
}

void ValueProcessor::FinishItems() {
    Guarded(state_, [&] { ProcessMirroredItems(config_, state_, joins_.timeFrames); });
    Guarded(state_, [&] { joins_.timeFrames.CheckTimeTables(); });
    state_.grid.NotifyChanged();
}

}  // namespace tarvedde
