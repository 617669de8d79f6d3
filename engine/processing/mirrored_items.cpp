// Items that take their value from another item: after all items of a cycle, each
// mirrored item converts its source's current value, may difference it as a counter,
// and keeps statistics of its own. A bad source number skips the item; each step's
// failure is logged with its own text and the next step goes on.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/processing/processing_pass.h"
#include "engine/processing/value_steps.h"
#include "platform/date_time.h"

namespace tarvedde {
namespace {

struct Mirror {
    int item = 0;
    int source = 0;
    bool integralSource = false;
    double value = 0.0;
};

// A counter source's rate spans its last two readings, on the elapsed clock once this run
// took both: the wall clock jumps with daylight saving. Only the first difference after a
// restart spans the saved wall times; a clock step can make that negative, which counts
// as no span at all.
double RateSpanDays(const ProcessingPass& pass, int source) {
    if (!pass.config.Items()[source].Differenz) {
        return ElapsedCycleDays(pass.cycle.times);
    }
    const auto& counter = pass.values.counterDifferences[source];
    if (counter.previousReadingElapsedMs >= 0) {
        return static_cast<double>(pass.cycle.times.cycleElapsedMs -
                                   counter.previousReadingElapsedMs) /
               86400000.0;
    }
    return pass.cycle.times.cycleTime - counter.previousReadingTime;
}

// False for a rate over no time span: that is no value.
bool ConvertMirrorValue(const ProcessingPass& pass, Mirror& mirror) {
    const ValueConversion& conversion = pass.config.Items()[mirror.item].valueConversion;
    if (!conversion.conversionOn) {
        return true;
    }
    if (const auto converted = ConvertUnit(conversion, mirror.value)) {
        mirror.value = *converted;
    } else {
        pass.log.WriteLog("Fehler bei Umrechnung des gespiegelten Wertes !");
    }
    if (conversion.timeBase <= 0) {
        return true;
    }
    const Rate rate =
        RateOf(mirror.value, conversion.timeBase, RateSpanDays(pass, mirror.source), 8884.0);
    if (rate.kind == RateKind::kNoSpan) {
        return false;
    }
    if (rate.kind == RateKind::kRate) {
        mirror.value = rate.value;
    } else {
        pass.log.WriteLog("Main-Umrech : Fehler beim Spiegeln !");
    }
    return true;
}

// A source without a value counted this cycle (none, refused by its limits, in
// maintenance) still holds its last one: that is no value of this cycle. A mirrored source
// keeps no such state.
bool SourceHasValue(const ProcessingPass& pass, int source) {
    return pass.config.Items()[source].mirror.mirrorOn || pass.counted[source];
}

void TakeMirrorDifference(const ProcessingPass& pass, Mirror& mirror) {
    auto& counter = pass.values.counterDifferences[mirror.item];
    const ItemConfig& config = pass.config.Items()[mirror.item];
    const auto step = TakeCounterDifference(counter, mirror.value, pass.cycle.times,
                                            config.effectiveLoLimit, config.effectiveUpLimit);
    if (!step) {
        pass.log.WriteLog("Main-DiffBer : Fehler beim Spiegeln !");
        return;
    }
    const std::string number = std::to_string(mirror.item);
    if (step->event == CounterEvent::kInitialised) {
        pass.log.WriteLogLevel(4,
                               "Differenz für gespiegeltes Item " + number + " neu initialisiert.");
    } else if (step->event == CounterEvent::kReset) {
        pass.log.WriteLogLevel(
            4, "SPS : Differenz für gespiegeltes Item " + number + " neu initialisiert !");
    } else if (step->event == CounterEvent::kFellBack) {
        pass.log.WriteLog("Zählerstand von gespiegeltem Item " + number +
                          " gesunken, Differenz 0.");
    } else if (step->event == CounterEvent::kRebased) {
        pass.log.WriteLog("Zählerstand von gespiegeltem Item " + number +
                          " bestätigt, Differenz neu initialisiert.");
    }
    mirror.value = step->value;
}

void TakeSum(const ProcessingPass& pass, const Mirror& mirror) {
    ItemStatistics& statistics = pass.values.statistics[mirror.item];
    if (!mirror.integralSource) {
        statistics.sum += mirror.value;
        if (!std::isfinite(statistics.sum)) {
            pass.log.WriteLog("Überlauf bei Summe (Spiegelung) ! Zurückgesetzt.");
            statistics.sum = 0.0;
        }
        return;
    }
    double& offset = pass.values.mirrorSumOffsets[mirror.item];
    // Up to the cycle, as the source shows it: a source whose value holds sends no samples.
    const double runningSum =
        RunningSumAt(pass.config.Items()[mirror.source], pass.cycle.integration[mirror.source],
                     pass.cycle.times.cycleTime, pass.cycle.times.cycleElapsedMs);
    // The source's integral restarted below the offset: the offset belongs to an old day.
    if (offset - runningSum > 1.0) {
        offset = 0.0;
        pass.log.WriteLogLevel(4, "Spiegelsummen-Offset zurückgesetzt.");
        return;
    }
    statistics.sum = Finite(runningSum - offset);
}

void AccumulateMirror(const ProcessingPass& pass, Mirror& mirror) {
    ItemStatistics& statistics = pass.values.statistics[mirror.item];
    const ItemConfig& itemConfig = pass.config.Items()[mirror.item];
    if (!(itemConfig.effectiveLoLimit <= mirror.value &&
          mirror.value <= itemConfig.effectiveUpLimit)) {
        mirror.value = 0.0;
        return;
    }
    try {
        if (itemConfig.Grafiktyp != 1) {
            // A digital mirror counts operating hours, as a digital item of its own does.
            statistics.previousValue = statistics.currentValue;
            statistics.currentValue = mirror.value;
            if (mirror.value > 0.5) {
                statistics.count += pass.operatingHoursPerCycle;
            }
            if (mirror.integralSource) {
                TakeSum(pass, mirror);
            } else {
                statistics.sum = statistics.count;
            }
        } else {
            statistics.currentValue = mirror.value;
            statistics.count += 1.0;
            TakeSum(pass, mirror);
            UpdateAverage(statistics, mirror.value);
        }
        UpdateExtremes(statistics, mirror.value);
    } catch (const ArithmeticFailure&) {
        pass.log.WriteLog("Main-Statistik : Fehler beim Spiegeln !");
    }
}

void WriteMirrorColumn(const ProcessingPass& pass, const Mirror& mirror) {
    const ItemStatistics& statistics = pass.values.statistics[mirror.item];
    LiveGrid& grid = pass.cycle.grid;
    const int column = mirror.item;
    grid.SetCell(column, grid.CurrentRow(), GridText(pass.config, pass.locale, mirror.value));
    grid.SetCell(column, 1, GridText(pass.config, pass.locale, statistics.average));
    grid.SetCell(column, 2, GridText(pass.config, pass.locale, statistics.minimum));
    grid.SetCell(column, 3, GridText(pass.config, pass.locale, statistics.maximum));
    grid.SetCell(column, 4, GridText(pass.config, pass.locale, statistics.count, 0));
    if (pass.config.Items()[column].Differenz || mirror.integralSource) {
        grid.SetCell(column, 5, GridText(pass.config, pass.locale, statistics.sum));
    }
}

void ProcessMirroredItem(const ProcessingPass& pass, TimeFrames& timeFrames, int item,
                         int weekday) {
    const ItemConfig& itemConfig = pass.config.Items()[item];
    Mirror mirror{item, itemConfig.mirror.sourceItem, false, 0.0};
    if (mirror.source < 1 || mirror.source > pass.config.Settings().itemCount ||
        mirror.source > maxItems) {
        return;
    }
    mirror.value = pass.values.statistics[mirror.source].currentValue;
    mirror.integralSource = pass.config.Items()[mirror.source].Integral;
    const bool counted = SourceHasValue(pass, mirror.source) && ConvertMirrorValue(pass, mirror);
    if (itemConfig.Differenz && mirror.integralSource) {
        pass.log.WriteLog("Konfigurationsfehler ! Spiegel-Quelle : Integralberechnung aktiviert.");
        mirror.integralSource = false;
    }
    if (!counted) {
        mirror.value = 0.0;
    } else {
        if (itemConfig.Differenz) {
            TakeMirrorDifference(pass, mirror);
        }
        AccumulateMirror(pass, mirror);
    }
    if (itemConfig.timeFrame.on && DayMatches(weekday, itemConfig.Tagesauswahl)) {
        timeFrames.EvaluateTimeTable(item);
    }
    WriteMirrorColumn(pass, mirror);
}

}  // namespace

void ProcessMirroredItems(const ProcessingPass& pass, TimeFrames& timeFrames) {
    const int weekday = DayOfWeek(pass.cycle.times.cycleTime);
    const int last = std::min(pass.config.Settings().itemCount, maxItems);
    for (int item = 1; item <= last; ++item) {
        if (!pass.config.Items()[item].mirror.mirrorOn) {
            continue;
        }
        try {
            ProcessMirroredItem(pass, timeFrames, item, weekday);
        } catch (...) {
            pass.log.WriteLog("Main : Exception (2)");
        }
    }
}

}  // namespace tarvedde
