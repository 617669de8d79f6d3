// Tests reach the frame's subsystems and flags directly, where the program changes them
// only through its own steps.
#pragma once

#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

struct TarveddeMainTestAccess {
    static ValueProcessor& Processor(TarveddeMain& main) { return main.processor_; }
    static SampleIntegrator& Integrator(TarveddeMain& main) { return main.integrator_; }
    // Whether the previous cycle has ended; a test holds it open to play a slow cycle.
    static bool& CycleComplete(TarveddeMain& main) { return main.cycleComplete_; }
    static void SetRestartAfterDayChange(TarveddeMain& main, bool on) {
        main.restartAfterDayChange_ = on;
    }
};

}  // namespace tarvedde
