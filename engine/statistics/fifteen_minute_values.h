// Fifteen-minute values: per item with M15_berechnen, a sliding window over the last cycles'
// values, from which the day keeps the highest level held through a whole window and the
// lowest level never exceeded through a whole window. Owns the window buffers the state
// store saves in M15BUF.TVW.
//
// Rows keep the length they had when they were created (once per program run): a later
// start that computes a longer window makes every update fail with its log line instead
// of writing past the row.
#pragma once

#include <optional>

#include "engine/config/configuration.h"
#include "engine/model/cycle_times.h"
#include "engine/processing/statistics_joins.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

class FifteenMinuteWindows final : public FifteenMinuteValues {
public:
    // The extremes take their time from `cycle.cycleTime`.
    FifteenMinuteWindows(const Configuration& config, ProgramLog& log, const Locale& locale,
                         const CycleTimes& cycle)
        : config_(config), log_(log), locale_(locale), cycle_(cycle) {}

    // Every acquisition start: the window length from t_M15 and the cycle (4..16, with its
    // log lines). True when the buffers were created now, the first time in this run; the
    // caller then restores the saved ones.
    bool SetupWindowBuffers();
    void UpdateFifteenMinuteValues(int item, double value) override;
    // The day's extremes of the item; the average is not kept.
    std::optional<WindowExtremes> Extremes(int item) const override;

    int WindowLength() const { return windowLength_; }
    const PerItem<FifteenMinuteState>& States() const { return buffers_.items; }
    // The day change and the time frames restart the extremes.
    PerItem<FifteenMinuteState>& StatesForDayChange() { return buffers_.items; }
    // The operator's corrected night minimum of the extraneous-water calculation.
    void SetMinimum(int item, double minimum) { buffers_.items[item].m15Minimum = minimum; }
    // The state store saves and restores these.
    FifteenMinuteBuffers& BuffersToStore() { return buffers_; }

private:
    void CreateBuffers();
    void TakeFullWindow(FifteenMinuteState& state, double windowHigh, double windowLow) const;

    const Configuration& config_;
    ProgramLog& log_;
    const Locale& locale_;
    const CycleTimes& cycle_;
    FifteenMinuteBuffers buffers_;
    int windowLength_ = 16;
};

}  // namespace tarvedde
