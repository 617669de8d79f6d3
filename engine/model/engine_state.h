// The engine's shared data: settings, the per-item arrays and the models the views
// show. One instance lives for the whole program run; the engine's modules work on it
// (the role of the original program's global unit).
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/model/general_settings_form.h"
#include "engine/model/host.h"
#include "engine/model/item_model.h"
#include "engine/model/live_grid.h"
#include "engine/model/main_window_model.h"
#include "engine/model/program_files.h"
#include "engine/model/state_file_hooks.h"
#include "outputs/day_file_names.h"
#include "outputs/item_log_flags.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/locale.h"

namespace tarvedde {

// Extremes shown instead of the day's, while a window of values is being kept.
struct WindowExtremes {
    double average = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
};

// Work that per-value processing hands to other modules. An empty hook does nothing;
// the modules set theirs as they are built.
struct ProcessingHooks {
    std::function<void(int item, double value)> checkLimitWarning;
    std::function<void(int item, double value)> updateFifteenMinuteValues;
    // Fifteen-minute minimum and maximum of an item, when it keeps them.
    std::function<std::optional<WindowExtremes>(int item)> fifteenMinuteExtremes;
    // Moving average, minimum and maximum of an item, when it keeps them.
    std::function<std::optional<WindowExtremes>(int item)> movingAverage;
    // Time frame of a normal item, and time table of a mirrored item.
    std::function<void(int item)> checkTimeFrame;
    std::function<void(int item)> evaluateTimeTable;
    // Time tables of all items at the end of the cycle.
    std::function<void()> checkTimeTables;
    // Runs when ProcessNextItem passes the last item.
    std::function<void()> endOfCycle;
};

struct EngineState {
    EngineState(Host& hostRef, ProgramLog& logRef, const Locale& localeRef)
        : host(hostRef),
          log(logRef),
          locale(localeRef),
          dayFiles(hostRef.files, logRef, localeRef) {}

    Host& host;
    ProgramLog& log;
    const Locale& locale;

    // Directory of every file of the program, with the trailing separator.
    std::string programDir;
    std::string PathOf(std::string_view name) const { return programDir + std::string(name); }

    GeneralSettings settings;
    PerItem<ItemConfig> items{};
    PerItem<ItemStatistics> statistics{};
    PerItem<ItemSource> sources{};
    IntegrationStates integration;
    PerItem<ConfigRecord> configRecords{};
    ItemLogFlagsArray logFlags{};  // item 1..180, as ddeLogKonfig.tvw holds them
    PerItem<CounterDifferenceState> counterDifferences{};
    PerItem<FifteenMinuteState> fifteenMinute{};
    PerItem<MovingAverageState> moving{};
    PerItem<NightSumRecord> nightSums{};
    // Row j of the fifteen-minute and the moving-average buffers; they exist from the
    // first acquisition start of a program run until the close.
    std::vector<std::vector<double>> m15Buffers;
    std::vector<std::vector<double>> movingBuffers;
    bool m15BuffersExist = false;
    bool movingBuffersExist = false;
    // The day (AktuTag) of the last state save that was flushed to disk.
    std::string durableSaveDay;
    ConversionTables tables{};
    std::array<int, maxItems + 1> protocolOrder{};

    GeneralSettingsForm settingsForm;
    DialogItemLists dialogLists;
    MainWindowModel window;

    LiveGrid grid;  // grEcht
    ProcessingHooks hooks;

    // Cycle-wide values that the start sets and the acquisition cycle carries on.
    double cycleTime = 0.0;
    double previousCycleTime = 0.0;
    double tickTime = 0.0;
    // Elapsed-clock times of the two cycles: durations come from these, so a clock step or
    // a daylight-saving change never makes a rate jump or go backwards.
    std::int64_t cycleElapsedMs = 0;
    std::int64_t previousCycleElapsedMs = 0;
    int currentItem = 0;
    bool cycleComplete = true;
    int timeoutCounter = 0;
    double operatingHoursPerCycle = 0.0;
    DateParts currentDay{};
    bool connectionLost = false;
    bool itemsLinked = false;
    bool acquisitionStarted = false;      // set by the acquisition start, cleared by its stop
    bool writeOutputsEveryCycle = false;  // transferEveryCycle: diary and viewer files
    bool datEveryCycle = false;           // off: day data rows go out in blocks
    bool restartAfterDayChange = false;   // menu Neustart1 checked
    int analogViewerItems = 0;
    int digitalViewerItems = 0;

    // The acquisition timer; owned by the main engine, stopped by ApplyCycleInterval.
    Timer* timerDDE = nullptr;

    // AQASYS parameter codes (AQASYSITEMS.TXT) and their names (AQASYSNAMES.TXT), in
    // file order; empty: no AQASYS item is defined.
    std::vector<std::string> aqasysCodes;
    std::vector<std::string> aqasysNames;

    StateFileHooks stateFileHooks;

    // Settings files used every cycle (TARVEDDE_VAR.INI for the day counters, TARVEDDE.INI
    // re-read for the digital items): one object each keeps the parsed file, revalidated
    // by size and time, so a cycle parses a file only when it changed.
    std::optional<IniFile> counterIniFile;
    std::optional<IniFile> cycleIniFile;
    IniFile& KeptIniFile(std::optional<IniFile>& kept, std::string_view name) {
        std::string path = PathOf(name);
        if (!kept || kept->path() != path) {
            kept.emplace(host.files, std::move(path));
        }
        return *kept;
    }

    // The day's data files; the engine names them after currentDay.
    DayFiles dayFiles;
};

}  // namespace tarvedde
