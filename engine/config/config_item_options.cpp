// LoadItemOptions: the second loading step, at program start and at every acquisition
// start. It re-reads what the item dialogs may have changed while the program ran
// (warnings, fifteen-minute switch, counter readings) and the OPC watchdog keys, so an
// acquisition start always runs on the files' current values. Each step is guarded on
// its own; nothing throws out of here.
#include <algorithm>
#include <exception>

#include "engine/config/config_steps.h"
#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "outputs/item_log_flags.h"
#include "outputs/log_settings.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

using config::ItemSection;
using config::LoadScope;

template <class Step>
void GuardedOption(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        // Only allocation can fail here; the step is lost, the next one runs.
    }
}

// The per-item export flags first, then the log levels, which log their load.
void LoadLoggingOptions(LoadScope& load) {
    LoadItemLogFlags(load.host.files, load.PathOf(kItemLogFlagsFile), load.logFlags, load.log);
    const IniFile ini(load.host.files, load.PathOf(kMainIniFile));
    const IniReadBatch batch(ini);
    LoadLogSettings(ini, load.log);
}

// The tables themselves are loaded by the frame's time frames after this load.
void LoadTimeTables(LoadScope& load) {
    load.settings.itemCount = std::min(load.settings.itemCount, maxItems);
}

void LoadOpcWatchdogKeys(LoadScope& load, IniFile& ini) {
    GeneralSettings& settings = load.settings;
    settings.opcDeadSeconds = schema::Read(ini, schema::kOpcDeadSeconds);
    // Below a second the watchdog would restart a healthy connection every tick and end
    // the program after five.
    if (settings.opcDeadSeconds < 1) {
        load.log.WriteLog("OPC_tot-Sekunden=" + std::to_string(settings.opcDeadSeconds) +
                          " ungültig, es gilt " + std::to_string(schema::kOpcDeadSeconds.fallback) +
                          ".");
        settings.opcDeadSeconds = schema::kOpcDeadSeconds.fallback;
    }
    if (!schema::Write(ini, schema::kOpcDeadSeconds, settings.opcDeadSeconds)) {
        return;
    }
    load.log.WriteLog("OPC_tot-Zeit in Sekunden: " + std::to_string(settings.opcDeadSeconds));
    settings.opcCloseCount = schema::Read(ini, schema::kOpcCloseCount);
}

// Reading Warnung again is what ends the warning window's switch-off of every item.
void LoadWarnings(LoadScope& load, const IniFile& ini) {
    for (int n = 1; n <= load.settings.itemCount; ++n) {
        ItemConfig& item = load.items[n];
        bool& warnung = item.effectiveWarnung;
        warnung = schema::Read(ini, schema::kWarnung, n);
        if (warnung) {
            item.WarnFlag2 = schema::Read(ini, schema::kWarnFlag2, n);
            item.WarnComp2 = schema::Read(ini, schema::kWarnComp2, n);
            item.WarnLevel2 =
                config::ParseNumber(schema::Read(ini, schema::kWarnLevel2, n), load.locale)
                    .value_or(0.5);
        }
        item.M15_berechnen = schema::Read(ini, schema::kM15Berechnen, n);
    }
}

// A failed write ends the step: the counter file is then not writable for the later
// items either.
void LoadCounterReadings(LoadScope& load) {
    IniFile var(load.host.files, load.PathOf(kCounterIniFile));
    const IniReadBatch batch(var);
    for (int n = 1; n <= load.settings.itemCount; ++n) {
        ItemConfig& item = load.items[n];
        if (!item.counterReadingUnsaved) {
            item.counterReading = config::ReadCounterReading(load, var, n);
        }
        if (!var.WriteString(ItemSection(n), "Zählerstand",
                             FormatFixed(item.counterReading, 14, 3, load.locale))) {
            return;
        }
        item.counterReadingUnsaved = false;
    }
}

void LoadItemOptionSteps(LoadScope& load) {
    IniFile ini(load.host.files, load.PathOf(kMainIniFile));
    const IniReadBatch batch(ini);
    GuardedOption([&] { LoadLoggingOptions(load); });
    GuardedOption([&] { config::BuildValueDelimiters(load); });
    GuardedOption([&] { LoadTimeTables(load); });
    if (load.settings.sourceKind == SourceKind::Opc) {
        GuardedOption([&] { LoadOpcWatchdogKeys(load, ini); });
    }
    GuardedOption([&] { LoadWarnings(load, ini); });
    GuardedOption([&] { LoadCounterReadings(load); });
    load.log.WriteLog(load.settings.printAtMidnight ? "Protokollausdruck eingeschaltet"
                                                    : "Protokollausdruck ausgeschaltet.");
}

}  // namespace

void Configuration::LoadItemOptions() {
    config::LoadScope load = Scope();
    GuardedOption([&] { LoadItemOptionSteps(load); });
    KeepWarningsOff();
}

}  // namespace tarvedde
