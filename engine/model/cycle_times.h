// The wall and elapsed-clock times of the running and the previous acquisition cycle.
// The frame sets them; rates and durations come from the elapsed pair, so a clock step or
// a daylight-saving change never makes a rate jump or go backwards.
#pragma once

#include <cstdint>

namespace tarvedde {

struct CycleTimes {
    double cycleTime = 0.0;
    double previousCycleTime = 0.0;
    std::int64_t cycleElapsedMs = 0;
    std::int64_t previousCycleElapsedMs = 0;
};

}  // namespace tarvedde
