// Limit warnings: every value per-value processing finds past an item's warning limits
// gets a red line in the statistics window; for an item whose Warnung is on, the line
// also goes to the warning window, which is shown (its form then beeps until it is
// acknowledged). The acquisition cycle goes on while the window is open.
#pragma once

#include "engine/config/configuration.h"
#include "engine/model/cycle_times.h"
#include "engine/model/warning_window_model.h"
#include "engine/processing/statistics_joins.h"
#include "platform/locale.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

class LimitWarningDisplay final : public LimitWarnings {
public:
    // The lines take their time of day from `cycle.cycleTime`.
    LimitWarningDisplay(const Configuration& config, const Locale& locale, const CycleTimes& cycle,
                        RichTextModel& memo2, WarningWindowModel& window)
        : config_(config), locale_(locale), cycle_(cycle), memo2_(memo2), window_(window) {}

    void CheckLimitWarning(int item, double value) override;

private:
    const Configuration& config_;
    const Locale& locale_;
    const CycleTimes& cycle_;
    RichTextModel& memo2_;
    WarningWindowModel& window_;
};

}  // namespace tarvedde
