// The benchmark plant: the 180-item plant (tests/support/plant_generator.h) at a one-second
// cycle with every output on, the raw-data log included, and without the settings few
// plants use, as in the figures of 2026-12-08; only its moving-average interval changed
// since (the generator says why).
#pragma once

#include "tests/support/plant_generator.h"

namespace tarvedde::bench {

inline constexpr plantgen::PlantOptions kBenchPlant{
    .cycleSeconds = 1, .rawDataLog = true, .rareSettings = false};

}  // namespace tarvedde::bench
