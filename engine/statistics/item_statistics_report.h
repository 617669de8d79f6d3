// The statistics block of one item, as the day protocol, the program-end statistics and
// the test menu print it: a formatted part for the statistics window (Memo2) and a plain
// part for the snapshot text (memoStat). Building a block changes nothing but the two
// texts, the extraneous-water inputs and, for an integral item, its running sum, which
// is brought up to the time of the block ("integral up to now").
#pragma once

#include <cstdint>

#include "engine/model/item_model.h"
#include "engine/statistics/extraneous_water.h"
#include "platform/lines_model.h"
#include "platform/locale.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

// One statistics run's surroundings: the texts it appends to, the time it stands at and
// the extraneous-water calculation whose line the first block after both inputs carries.
struct StatisticsRun {
    RichTextModel& memo2;
    LinesModel& memoStat;
    ExtraneousWater& extraneousWater;
    const Locale& locale;
    double now = 0.0;         // the clock's local date-time; at the day change the ended day's end
    std::int64_t nowMs = -1;  // elapsed ms at `now`; -1: durations by the wall clock
    double runningDay = 0.0;  // the day the files are named after
    int itemCount = 0;
};

// What the block reads of one item; `integration` is written back for "integral up to
// now" (its running sum only, through IntegrationStates::SetSum).
struct ItemReportInputs {
    const ItemConfig& config;
    const ItemStatistics& statistics;
    const FifteenMinuteState& fifteenMinute;
    const MovingAverageState& moving;
    IntegrationStates& integration;
    // What the frame's times set aside of the day so far: the total counter counts it.
    double setAside = 0.0;
};

// Items outside 1..itemCount and mirrored items without a valid source add nothing.
void BuildItemStatistics(int item, const ItemReportInputs& inputs, StatisticsRun& run);

// The time since the item's last sample counted into its sum, and its samples counted
// from now on: else a day change or a time frame that restarts the sum gives that time
// twice, or to the wrong period. A chain whose last sample is later than `run.now` is left
// as it is.
void BringIntegralUpToNow(int item, const ItemConfig& config, IntegrationStates& integration,
                          const StatisticsRun& run);

}  // namespace tarvedde
