// Per-value processing: each cycle passes every item once through ProcessNextItem, which
// turns the item's newest value text into a number, calibrates, clamps, converts and
// differentiates it, folds it into the day statistics and writes the item's cells of the
// live grid. Nothing here throws out of a cycle: a failure in one item is logged and the
// next item runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/cycle_times.h"
#include "engine/model/live_grid.h"
#include "engine/model/processed_values.h"
#include "engine/processing/statistics_joins.h"
#include "platform/ini_file.h"

namespace tarvedde {

struct ProcessingPass;

// Whether an item's newest text was a valid value at its last processing: none has come
// since the start, it was, or it was no number (or an OPC value of bad quality).
enum class ValueState : unsigned char { kNoneYet, kValid, kMissing };

// What a cycle hands the processor: its times, each item's newest value text and
// integral as acquisition left them, and the live grid the values are shown in.
struct CycleData {
    const CycleTimes& times;
    // The previous cycle's time (lbDT), column 0 of the row the grid moves on from.
    const std::string& previousCycleText;
    const PerItem<ItemSource>& sources;
    const IntegrationStates& integration;
    LiveGrid& grid;
};

// Per-value processing of a program run: it owns the day statistics, the counters of
// difference items and the mirrored sums' offsets. The statistics that build on the values
// join through `joins`; rates use the elapsed clock, never the wall clock.
class ValueProcessor {
public:
    ValueProcessor(const Configuration& config, FileSystem& files, ProgramLog& log,
                   const Locale& locale, StatisticsJoins joins);
    ValueProcessor(const ValueProcessor&) = delete;
    ValueProcessor& operator=(const ValueProcessor&) = delete;

    // The next ProcessNextItem takes item 1.
    void BeginCycle() {
        currentItem_ = 0;
        counted_ = {};
    }
    // Advances to the next item and processes it. Item 1 first moves the live grid's
    // rolling row on. True, with nothing processed, once the count of items is passed.
    bool ProcessNextItem(const CycleData& cycle);
    // After the last item: the mirrored items, then every time table; the grid's views
    // are told of the cycle's changes.
    void FinishItems(const CycleData& cycle);

    // A digital item's operating hours grow by this for every cycle it is on; by the time
    // since this run's previous cycle where that was shorter (a cycle at once at each
    // restart of a lost connection).
    void SetOperatingHoursPerCycle(double hours) { operatingHoursPerCycle_ = hours; }
    double OperatingHoursPerCycle() const { return operatingHoursPerCycle_; }
    // The start before the state is restored: every item's day statistics afresh.
    void ResetDayStatistics();

    const ProcessedValues& Values() const { return values_; }
    // The one way in for the state files' restores, which the frame runs at the start.
    ProcessedValues& ValuesToRestore() { return values_; }
    // The day change and the time frames restart the statistics.
    ProcessedValues& ValuesForDayChange() { return values_; }
    // The operator's corrected night minimum of the extraneous-water calculation, and the
    // counter and maintenance dialogs' day extremes.
    // A minimum set by hand stands: the restart correction no longer replaces it.
    void SetDayMinimum(int item, double minimum) {
        values_.statistics[item].minimum = minimum;
        values_.statistics[item].correctionCount = -2.0;
    }
    void SetDayMaximum(int item, double maximum) { values_.statistics[item].maximum = maximum; }
    // The item reads another meter now: its next reading starts the difference anew.
    void RestartCounterDifference(int item) { values_.counterDifferences[item].StartAgain(); }
    // A mirror given another integral source: its period's sum goes on from `collected`
    // with what the source gains beyond `sourceSum`.
    void RebaseMirrorSum(int item, double sourceSum, double collected) {
        values_.mirrorSumOffsets[item] = sourceSum - collected;
    }

private:
    friend struct ValueProcessorTestAccess;
    ProcessingPass Pass(const CycleData& cycle);
    void CountCycleOperatingHours(std::int64_t cycleMs);
    void WriteDayCounters();

    const Configuration& config_;
    FileSystem& files_;
    ProgramLog& log_;
    const Locale& locale_;
    StatisticsJoins joins_;
    ProcessedValues values_;
    int currentItem_ = 0;
    double operatingHoursPerCycle_ = 0.0;
    double cycleOperatingHours_ = 0.0;
    std::int64_t previousCycleMs_ = -1;
    // TARVEDDE_VAR.INI, and the cycle's day counters, written to it together after the
    // last item.
    std::optional<IniFile> counterIniFile_;
    std::vector<IniDocument::Value> dayCounters_;
    PerItem<ValueState> valueStates_{};
    PerItem<bool> counted_{};
};

// Keeps the part after the last blank and cuts the configured prefix and suffix.
std::string CleanValueText(std::string_view text, std::string_view prefix, std::string_view suffix);

// What a table conversion reads and where it writes its trace lines.
struct TableConversion {
    const ConversionTables& tables;
    ProgramLog& log;
    const Locale& locale;
};

// Table conversion of `value` with table 1 or 2; `mode` names the use in the trace lines
// (0 single values, 1 integral, 2 moving average). At or below x[1] the value becomes 0,
// above x[pointCount - 1] y[pointCount]. False, with `value` unchanged, for a table
// number other than 1 or 2 or an interpolation whose result is not finite: the caller
// treats that as the failure of its step.
bool ConvertByTable(const TableConversion& conversion, int tableNumber, double& value, int mode);

// True when bit (dayOfWeek - 1) of mask is set; dayOfWeek 1 = Sunday .. 7 = Saturday.
bool DayMatches(int dayOfWeek, int mask);

}  // namespace tarvedde
