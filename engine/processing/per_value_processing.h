// Per-value processing: each cycle passes every item once through ProcessNextItem, which
// turns the item's newest value text into a number, calibrates, clamps, converts and
// differentiates it, folds it into the day statistics and writes the item's cells of the
// live grid. Nothing here throws out of a cycle: a failure in one item is logged and the
// next item runs.
#pragma once

#include <string>
#include <string_view>

#include "engine/config/configuration.h"
#include "engine/model/engine_state.h"
#include "engine/processing/statistics_joins.h"

namespace tarvedde {

// Per-value processing of a program run. The statistics that build on the values join
// through `joins`; rates use the elapsed clock (cycleElapsedMs), never the wall clock.
class ValueProcessor {
public:
    ValueProcessor(const Configuration& config, EngineState& state, StatisticsJoins joins);
    ValueProcessor(const ValueProcessor&) = delete;
    ValueProcessor& operator=(const ValueProcessor&) = delete;

    // Advances state.currentItem and processes that item. Item 1 first moves the live
    // grid's rolling row on (column 0 of the row before gets window.lbDT). True, with
    // nothing processed, once the count of items is passed.
    bool ProcessNextItem();
    // After the last item: the mirrored items, then every time table; the grid's views
    // are told of the cycle's changes.
    void FinishItems();

private:
    const Configuration& config_;
    EngineState& state_;
    StatisticsJoins joins_;
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

// The end-of-cycle processing of items that take their value from another item.
void ProcessMirroredItems(const Configuration& config, EngineState& state, TimeFrames& timeFrames);

}  // namespace tarvedde
