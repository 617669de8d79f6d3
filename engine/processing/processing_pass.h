// What the processing of one item works on: the processor's own values, what the cycle
// handed over and where the steps write their lines. Built per call, never kept.
#pragma once

#include <optional>

#include "engine/config/configuration.h"
#include "engine/processing/per_value_processing.h"

namespace tarvedde {

struct ProcessingPass {
    const Configuration& config;
    ProcessedValues& values;
    const CycleData& cycle;
    double operatingHoursPerCycle;
    std::optional<IniFile>& counterIniFile;
    FileSystem& files;
    ProgramLog& log;
    const Locale& locale;
};

// The end-of-cycle processing of items that take their value from another item.
void ProcessMirroredItems(const ProcessingPass& pass, TimeFrames& timeFrames);

}  // namespace tarvedde
