// The sample integrator: per received sample of an item, the integral, the digital
// item's on/off times and the counter difference, and before acquisition the item's
// set-up (scaling, lower bound, the limits line of the log). Source-neutral: every source
// kind (DDE today, OPC later) feeds it. A source hands it, per sample, the item number,
// the value already scaled with Scaled (a text that does not parse is left out of the
// integral with LeaveOut, and never reaches the difference), the wall
// time (day number) and the elapsed clock in ms of the moment the sample arrived.
// Guarantees: durations come from the elapsed clock, so clock steps and daylight-saving
// changes never add or remove integrated time; a wall time without its elapsed reading
// is measured by the wall clock and never counts negative.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/model/item_model.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

enum class ItemSetUp { Acquire, Mirrored, SwitchedOff };

class SampleIntegrator {
public:
    // Limits are the items' effective limits.
    SampleIntegrator(const PerItem<ItemConfig>& items, const ConversionTables& tables,
                     ProgramLog& log, const Locale& locale);

    // Before the item's link, with the item's own configuration: a digital item is
    // acquired unscaled (its calibration is 1 and 0 by then, see
    // Configuration::UseRawDigitalValue). Mirrored and switched-off items are not
    // acquired and keep their scaling.
    ItemSetUp SetUpItem(int item, const ItemConfig& config);

    // The item settings dialog's save: an acquired item's scaling, integral switch and lower
    // bound as its set-up would make them, from its next sample on. An integral switched
    // on starts its sample chain afresh and keeps its sum.
    void ApplyItemSettings(int item, const ItemConfig& config);

    // The source's raw number with the item's set-up scaling.
    double Scaled(int item, double raw) const;

    // Integral and digital step of an integral item. Returns the value it took (bounded,
    // table-converted, held in maintenance), or nothing when the table conversion failed:
    // the sample is then left out of the integral.
    std::optional<double> Integrate(int item, double value, double now, std::int64_t nowMs);
    // A sample of an integral item that is no number: left out, so the previous value
    // holds until the next sample. Logged once until a number comes again.
    void LeaveOut(int item);
    // A sample that is no measurement: the previous value holds up to now, and the
    // integral goes on from the next sample.
    void EndSampleChain(int item, double now, std::int64_t nowMs);

    // Counter difference: a rise within the limits adds to the sum, a fall restarts from
    // the new reading; a value outside the limits is ignored.
    void Difference(int item, double value, double now, std::int64_t nowMs);

    const IntegrationStates& States() const { return states_; }
    // The moment the running day's figures end (0: not known). A sample after it gives the
    // time past it to the new day, which its day change starts from.
    void SetDayEnd(double dayEnd) { dayEnd_ = dayEnd; }
    // The program end: nothing gained past the day's end is kept apart (it is not saved).
    void KeepNewDayInRunningDay() {
        for (int n = 1; n <= maxItems; ++n) {
            states_.KeepNewDayInRunningDay(n);
        }
    }
    // The acquisition start: the item's sums and sample chain begin afresh.
    void ClearForStart(int item) { states_.ClearForStart(item); }
    // The operator's reset of the item's sum.
    void ResetSum(int item) { states_.SetSum(item, 0.0); }
    // The one way in for the state files' restores and re-creations, run by the frame.
    IntegrationStates& StatesToRestore() { return states_; }
    // The day change and the time frames restart the integrals.
    IntegrationStates& StatesForDayChange() { return states_; }

private:
    void DigitalStep(int item, double now, std::int64_t nowMs, double value, double delta);
    // The time since the last sample in units of the item's time base.
    double BaseUnitsSince(int item, double now, std::int64_t nowMs) const;
    // Adds what was gained from the last sample up to `now` to the day it belongs to.
    void AddSpan(IntegrationState& state, double gained, double now) const;
    void LogItemLimits(int item);

    const PerItem<ItemConfig>& items_;
    const ConversionTables& tables_;
    ProgramLog& log_;
    const Locale& locale_;
    IntegrationStates states_;
    PerItem<bool> leavingOut_{};
    double dayEnd_ = 0.0;
};

}  // namespace tarvedde
