// What the processing of one item works on: the processor's own values, what the cycle
// handed over and where the steps write their lines. Built per call, never kept.
#pragma once

#include <vector>

#include "engine/config/configuration.h"
#include "engine/processing/per_value_processing.h"

namespace tarvedde {

struct ProcessingPass {
    const Configuration& config;
    ProcessedValues& values;
    const CycleData& cycle;
    double operatingHoursPerCycle;
    // The day counters of the cycle, written to their file in one go after the last item.
    std::vector<IniDocument::Value>& dayCounters;
    ProgramLog& log;
    const Locale& locale;
    PerItem<ValueState>& valueStates;
    // Whether the item's value of this cycle was counted (within its limits, not in
    // maintenance): a mirror takes no value its source refused.
    PerItem<bool>& counted;
};

// The end-of-cycle processing of items that take their value from another item.
void ProcessMirroredItems(const ProcessingPass& pass, TimeFrames& timeFrames);

}  // namespace tarvedde
