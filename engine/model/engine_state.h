// The engine's shared data: settings, the per-item arrays and the models the views
// show. One instance lives for the whole program run; the engine's modules work on it
// (the role of the original program's global unit).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

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

    PerItem<ItemStatistics> statistics{};
    PerItem<ItemSource> sources{};
    IntegrationStates integration;
    PerItem<CounterDifferenceState> counterDifferences{};
    PerItem<FifteenMinuteState> fifteenMinute{};
    PerItem<MovingAverageState> moving{};
    // Per mirrored item of an integral source: the source's integral where the mirrored
    // day sum starts (SPIEGELDATEN.TVW keeps it across restarts).
    PerItem<double> mirrorSumOffsets{};
    MainWindowModel window;

    LiveGrid grid;  // grEcht

    // Cycle-wide values that the start sets and the acquisition cycle carries on.
    double cycleTime = 0.0;
    double previousCycleTime = 0.0;
    // Elapsed-clock times of the two cycles: durations come from these, so a clock step or
    // a daylight-saving change never makes a rate jump or go backwards.
    std::int64_t cycleElapsedMs = 0;
    std::int64_t previousCycleElapsedMs = 0;
    int currentItem = 0;
    bool cycleComplete = true;
    int timeoutCounter = 0;
    double operatingHoursPerCycle = 0.0;
    bool connectionLost = false;
    bool itemsLinked = false;
    bool acquisitionStarted = false;     // set by the acquisition start, cleared by its stop
    bool restartAfterDayChange = false;  // menu Neustart1 checked

    // Settings files used every cycle (TARVEDDE_VAR.INI for the day counters, TARVEDDE.INI
    // re-read for the digital items): one object each keeps the parsed file, revalidated
    // by size and time, so a cycle parses a file only when it changed.
    std::optional<IniFile> counterIniFile;
    std::optional<IniFile> cycleIniFile;
    IniFile& KeptIniFile(std::optional<IniFile>& kept, std::string path) {
        if (!kept || kept->path() != path) {
            kept.emplace(host.files, std::move(path));
        }
        return *kept;
    }
};

}  // namespace tarvedde
