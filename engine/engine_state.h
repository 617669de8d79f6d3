// The engine's shared data: settings, the per-item arrays and the models the views
// show. One instance lives for the whole program run; the engine's modules work on it
// (the role of the original program's global unit).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/config_hooks.h"
#include "engine/general_settings_form.h"
#include "engine/host.h"
#include "engine/item_model.h"
#include "engine/main_window_model.h"
#include "outputs/item_log_flags.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

inline constexpr char kMainIniFile[] = "TARVEDDE.INI";
inline constexpr char kCalibrationIniFile[] = "EICH.INI";
inline constexpr char kScalingIniFile[] = "VAR.INI";
inline constexpr char kCounterIniFile[] = "TARVEDDE_VAR.INI";

struct EngineState {
    EngineState(Host& hostRef, ProgramLog& logRef, const Locale& localeRef)
        : host(hostRef), log(logRef), locale(localeRef) {}

    Host& host;
    ProgramLog& log;
    const Locale& locale;

    // Directory of every file of the program, with the trailing separator.
    std::string programDir;
    std::string PathOf(std::string_view name) const { return programDir + std::string(name); }

    GeneralSettings settings;
    PerItem<ItemConfig> items{};
    PerItem<ItemStatistics> statistics{};
    PerItem<ItemRuntime> runtime{};
    PerItem<ConfigRecord> configRecords{};
    PerItem<ItemLogFlags> logFlags{};
    std::array<ConversionTable, 3> tables{};  // tables 1 and 2
    std::array<int, maxItems + 1> protocolOrder{};

    GeneralSettingsForm settingsForm;
    DialogItemLists dialogLists;
    MainWindowModel window;

    // Cycle-wide values that the start sets and the acquisition cycle carries on.
    double cycleTime = 0.0;
    double previousCycleTime = 0.0;
    int analogViewerItems = 0;
    int digitalViewerItems = 0;

    // The acquisition timer; owned by the main engine, stopped by ApplyCycleInterval.
    Timer* timerDDE = nullptr;

    // AQASYS parameter codes (AQASYSITEMS.TXT) and their names (AQASYSNAMES.TXT), in
    // file order; empty: no AQASYS item is defined.
    std::vector<std::string> aqasysCodes;
    std::vector<std::string> aqasysNames;

    StateFileHooks stateFileHooks;
};

}  // namespace tarvedde
