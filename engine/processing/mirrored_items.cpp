// Items that take their value from another item: after all items of a cycle, each
// mirrored item converts its source's current value, may difference it as a counter,
// and keeps statistics of its own. A bad source number skips the item; each step's
// failure is logged with its own text and the next step goes on.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/processing/per_value_processing.h"
#include "engine/processing/value_steps.h"

namespace tarvedde {
namespace {

struct Mirror {
    int item = 0;
    int source = 0;
    bool integralSource = false;
    double value = 0.0;
};

// The source's counter keeps wall times across restarts, so a clock step can make the
// span negative: that counts as no span at all.
double RateSpanDays(const Configuration& config, const EngineState& state, int source) {
    if (!config.Items()[source].Differenz) {
        return ElapsedCycleDays(state);
    }
    const auto& counter = state.counterDifferences[source];
    return state.cycleTime - counter.previousReadingTime;
}

void ConvertMirrorValue(const Configuration& config, EngineState& state, Mirror& mirror) {
    const ValueConversion& conversion = config.Items()[mirror.item].valueConversion;
    if (!conversion.conversionOn) {
        return;
    }
    if (const auto converted = ConvertUnit(conversion, mirror.value)) {
        mirror.value = *converted;
    } else {
        state.log.WriteLog("Fehler bei Umrechnung des gespiegelten Wertes !");
    }
    if (conversion.timeBase <= 0) {
        return;
    }
    const double span = RateSpanDays(config, state, mirror.source);
    if (const auto rate = RateOf(mirror.value, conversion.timeBase, span, 8884.0)) {
        mirror.value = *rate;
    } else {
        state.log.WriteLog("Main-Umrech : Fehler beim Spiegeln !");
    }
}

void TakeMirrorDifference(EngineState& state, Mirror& mirror) {
    auto& counter = state.counterDifferences[mirror.item];
    const auto step = TakeCounterDifference(counter, mirror.value, state.cycleTime);
    if (!step) {
        state.log.WriteLog("Main-DiffBer : Fehler beim Spiegeln !");
        return;
    }
    const std::string number = std::to_string(mirror.item);
    if (step->event == CounterEvent::kInitialised) {
        state.log.WriteLogLevel(
            4, "Differenz für gespiegeltes Item " + number + " neu initialisiert.");
    } else if (step->event == CounterEvent::kReset) {
        state.log.WriteLogLevel(
            4, "SPS : Differenz für gespiegeltes Item " + number + " neu initialisiert !");
    }
    mirror.value = step->value;
}

void TakeSum(EngineState& state, const Mirror& mirror) {
    ItemStatistics& statistics = state.statistics[mirror.item];
    if (!mirror.integralSource) {
        statistics.sum += mirror.value;
        if (!std::isfinite(statistics.sum)) {
            state.log.WriteLog("Überlauf bei Summe (Spiegelung) ! Zurückgesetzt.");
            statistics.sum = 0.0;
        }
        return;
    }
    double& offset = state.mirrorSumOffsets[mirror.item];
    const double runningSum = state.integration[mirror.source].runningSum;
    // The source's integral restarted below the offset: the offset belongs to an old day.
    if (offset - runningSum > 1.0) {
        offset = 0.0;
        state.log.WriteLogLevel(4, "Spiegelsummen-Offset zurückgesetzt.");
        return;
    }
    statistics.sum = Finite(runningSum - offset);
}

void AccumulateMirror(const Configuration& config, EngineState& state, Mirror& mirror) {
    ItemStatistics& statistics = state.statistics[mirror.item];
    const ItemConfig& itemConfig = config.Items()[mirror.item];
    if (!(itemConfig.effectiveLoLimit <= mirror.value &&
          mirror.value <= itemConfig.effectiveUpLimit)) {
        mirror.value = 0.0;
        return;
    }
    try {
        statistics.currentValue = mirror.value;
        statistics.count += 1.0;
        TakeSum(state, mirror);
        UpdateAverage(statistics, mirror.value);
        UpdateExtremes(statistics, mirror.value);
    } catch (const ArithmeticFailure&) {
        state.log.WriteLog("Main-Statistik : Fehler beim Spiegeln !");
    }
}

void WriteMirrorColumn(const Configuration& config, EngineState& state, const Mirror& mirror) {
    const ItemStatistics& statistics = state.statistics[mirror.item];
    LiveGrid& grid = state.grid;
    const int column = mirror.item;
    grid.SetCell(column, grid.CurrentRow(), GridText(config, state, mirror.value));
    grid.SetCell(column, 1, GridText(config, state, statistics.average));
    grid.SetCell(column, 2, GridText(config, state, statistics.minimum));
    grid.SetCell(column, 3, GridText(config, state, statistics.maximum));
    grid.SetCell(column, 4, GridText(config, state, statistics.count, 0));
    if (config.Items()[column].Differenz || mirror.integralSource) {
        grid.SetCell(column, 5, GridText(config, state, statistics.sum));
    }
}

void ProcessMirroredItem(const Configuration& config, EngineState& state, TimeFrames& timeFrames,
                         int item, int weekday) {
    const ItemConfig& itemConfig = config.Items()[item];
    Mirror mirror{item, itemConfig.mirror.sourceItem, false, 0.0};
    if (mirror.source < 1 || mirror.source > config.Settings().itemCount ||
        mirror.source > maxItems) {
        return;
    }
    mirror.value = state.statistics[mirror.source].currentValue;
    mirror.integralSource = config.Items()[mirror.source].Integral;
    ConvertMirrorValue(config, state, mirror);
    if (itemConfig.Differenz && mirror.integralSource) {
        state.log.WriteLog("Konfigurationsfehler ! Spiegel-Quelle : Integralberechnung aktiviert.");
        mirror.integralSource = false;
    }
    if (itemConfig.Differenz) {
        TakeMirrorDifference(state, mirror);
    }
    AccumulateMirror(config, state, mirror);
    if (itemConfig.timeFrame.on && DayMatches(weekday, itemConfig.Tagesauswahl)) {
        timeFrames.EvaluateTimeTable(item);
    }
    WriteMirrorColumn(config, state, mirror);
}

}  // namespace

void ProcessMirroredItems(const Configuration& config, EngineState& state, TimeFrames& timeFrames) {
    const int weekday = DayOfWeek(state.cycleTime);
    const int last = std::min(config.Settings().itemCount, maxItems);
    for (int item = 1; item <= last; ++item) {
        if (!config.Items()[item].mirror.mirrorOn) {
            continue;
        }
        try {
            ProcessMirroredItem(config, state, timeFrames, item, weekday);
        } catch (...) {
            state.log.WriteLog("Main : Exception (2)");
        }
    }
}

}  // namespace tarvedde
