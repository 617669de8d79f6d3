// The engine's shared data: settings, the per-item arrays and the models the views
// show. One instance lives for the whole program run; the engine's modules work on it
// (the role of the original program's global unit).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/model/cycle_times.h"
#include "engine/model/host.h"
#include "engine/model/item_model.h"
#include "engine/model/live_grid.h"
#include "engine/model/main_window_model.h"
#include "engine/model/program_files.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/locale.h"

namespace tarvedde {

struct EngineState {
    EngineState(Host& hostRef, ProgramLog& logRef, const Locale& localeRef)
        : host(hostRef), log(logRef), locale(localeRef) {}

    Host& host;
    ProgramLog& log;
    const Locale& locale;

    MainWindowModel window;

    LiveGrid grid;  // grEcht

    CycleTimes cycle;
    bool cycleComplete = true;
    int timeoutCounter = 0;
    bool restartAfterDayChange = false;  // menu Neustart1 checked

    // TARVEDDE.INI, re-read every cycle for the digital items.
    std::optional<IniFile> cycleIniFile;
};

}  // namespace tarvedde
