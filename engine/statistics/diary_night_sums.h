// The diary's own sum for an item whose diary position is filled across midnight: when
// the item's time frame ends, the "Betriebszeit / Summe" value the diary last received
// becomes the item's sum again, so the position's next value goes on from it.
#pragma once

#include "engine/config/configuration.h"
#include "engine/diary/diary_interface.h"
#include "engine/statistics/time_frames.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

class BoundDiaryNightSums final : public DiaryNightSums {
public:
    BoundDiaryNightSums(const DiaryInterface& diary, const Configuration& config,
                        StatisticsState state, ProgramLog& log, const Locale& locale)
        : diary_(diary), config_(config), state_(state), log_(log), locale_(locale) {}

    // Only the first binding of the item with date change counts, and only from the
    // frame's end on. A diary value that is no number clears the sum.
    void ApplyDiaryValue(int item, double timeOfDay, double frameEnd) override;

private:
    const DiaryInterface& diary_;
    const Configuration& config_;
    StatisticsState state_;
    ProgramLog& log_;
    const Locale& locale_;
};

}  // namespace tarvedde
