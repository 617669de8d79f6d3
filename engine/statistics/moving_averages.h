// Moving averages: per item with Gleitend, a ring of the calibrated value sampled on a
// timer of its own, its mean, and the day's lowest and highest mean once the ring is full.
// Owns the rings the state store saves in GLEITBUF2.TVW, and writes the "_GleitMit_"
// export of each tick.
//
// Rings keep the length they had when they were created (once per program run): an item
// whose sample cannot be stored (a raised ring length, an unusable value) loses its moving
// average until the program restarts, with a log line.
#pragma once

#include <optional>

#include "engine/config/configuration.h"
#include "engine/processing/statistics_joins.h"
#include "outputs/program_log.h"
#include "outputs/value_export_files.h"
#include "platform/file_system.h"
#include "platform/locale.h"

namespace tarvedde {

class MovingAverageRings final : public MovingAverages {
public:
    MovingAverageRings(const Configuration& config, FileSystem& files, ProgramLog& log,
                       const Locale& locale)
        : config_(config), exports_(files), log_(log), locale_(locale) {}

    // At an acquisition start: true when the rings were created now, the first time in this
    // run; the caller then restores the saved ones.
    bool SetupWindowBuffers();

    // One tick of the timer: sample every item's newest value text, then the means, the
    // extremes and the exports, stamped `now`.
    void TimerGleitMTimer(const PerItem<ItemSource>& sources, double now);
    void SampleMovingValues(const PerItem<ItemSource>& sources);
    // Nothing for an item without a moving average or whose average was switched off.
    std::optional<WindowExtremes> Current(int item) const override;

    bool SwitchedOff(int item) const { return switchedOff_[item]; }
    const PerItem<MovingAverageState>& States() const { return buffers_.items; }
    // The day change and the time frames restart the extremes.
    PerItem<MovingAverageState>& StatesForDayChange() { return buffers_.items; }
    // The operator's new start for an item's moving extremes.
    void SetMovingExtremes(int item, double minimum, double maximum);
    // The state store saves and restores these.
    MovingAverageBuffers& BuffersToStore() { return buffers_; }

private:
    bool Active(int item) const;
    void Sample(const ItemSource& source, int item);
    void Average(int item, double now);

    const Configuration& config_;
    ValueExportFiles exports_;
    ProgramLog& log_;
    const Locale& locale_;
    MovingAverageBuffers buffers_;
    PerItem<bool> switchedOff_{};
};

}  // namespace tarvedde
