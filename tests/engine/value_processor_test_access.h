// Tests set up day statistics, counters and mirrored offsets directly, where the program
// fills them through processing and the state files' restores.
#pragma once

#include "engine/processing/per_value_processing.h"

namespace tarvedde {

struct ValueProcessorTestAccess {
    static ProcessedValues& Values(ValueProcessor& processor) { return processor.values_; }
    static int CurrentItem(const ValueProcessor& processor) { return processor.currentItem_; }
};

}  // namespace tarvedde
