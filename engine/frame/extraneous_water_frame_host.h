// What the operator's extraneous-water calculation reads and corrects in the running
// program: the [Fremdwasser] keys through the configuration's own load, the inflow item's
// minimum where the day statistics keep it (the fifteen-minute state or the day
// statistics) and the volume item's integral. A correction goes back through its owner's
// named write, so the next statistics run reports what the operator entered.
#pragma once

#include <string>

#include "engine/acquisition/sample_integrator.h"
#include "engine/config/configuration.h"
#include "engine/processing/per_value_processing.h"
#include "engine/statistics/extraneous_water.h"
#include "engine/statistics/fifteen_minute_values.h"
#include "platform/clock.h"

namespace tarvedde {

class ExtraneousWaterFrameHost final : public ExtraneousWaterHost {
public:
    ExtraneousWaterFrameHost(Configuration& config, ValueProcessor& processor,
                             FifteenMinuteWindows& fifteenMinute,
                             const SampleIntegrator& integrator, FileSystem& files,
                             const Clock& clock)
        : config_(config),
          processor_(processor),
          fifteenMinute_(fifteenMinute),
          integrator_(integrator),
          files_(files),
          clock_(clock) {}

    ExtraneousWaterSettings ReloadSettings() override;
    void SaveNightInflowText(const std::string& text) override;
    double MinimumInflow(int item) override;
    void StoreMinimumInflow(int item, double value) override;
    double InflowVolume(int item) override;

private:
    Configuration& config_;
    ValueProcessor& processor_;
    FifteenMinuteWindows& fifteenMinute_;
    const SampleIntegrator& integrator_;
    FileSystem& files_;
    const Clock& clock_;
};

}  // namespace tarvedde
