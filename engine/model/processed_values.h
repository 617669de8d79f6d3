// The running results of per-value processing that the state files keep across restarts:
// the day statistics, the counters of difference items and the offsets of mirrored sums.
// The value processor owns them; the state store saves them and restores into them.
#pragma once

#include "engine/model/item_model.h"

namespace tarvedde {

struct ProcessedValues {
    PerItem<ItemStatistics> statistics{};
    PerItem<CounterDifferenceState> counterDifferences{};
    // Per mirrored item of an integral source: the source's integral where the mirrored
    // day sum starts (SPIEGELDATEN.TVW keeps it across restarts).
    PerItem<double> mirrorSumOffsets{};
};

}  // namespace tarvedde
