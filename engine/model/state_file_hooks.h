// Work the configuration loader asks of the engine when the running day's state files are
// missing. The loader only decides when; the engine, which owns the state files, does the
// work. An empty hook does nothing.
#pragma once

#include <functional>

#include "engine/model/program_files.h"

namespace tarvedde {

struct StateFileHooks {
    std::function<void()> createConfigFile;  // TARVEDDE.COF from the loaded item model
    std::function<void()> createNightFile;   // TARVEDDE_NACHT.TVW with empty night sums
};

}  // namespace tarvedde
