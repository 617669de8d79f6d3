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

template <class Step>
void Guarded(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        // Only allocation can fail here; the step is lost, the next one runs.
    }
}

// The per-item export flags first, then the log levels, which log their state.
void LoadLoggingOptions(EngineState& state) {
    LoadItemLogFlags(state.host.files, state.PathOf(kItemLogFlagsFile), state.logFlags, state.log);
    const IniFile ini(state.host.files, state.PathOf(kMainIniFile));
    LoadLogSettings(ini, state.log);
}

void LoadTimeTables(EngineState& state) {
    state.settings.itemCount = std::min(state.settings.itemCount, maxItems);
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        if (config::LoadTimeTable(state, n)) {
            state.log.WriteLog("Zeittabelle für " + state.items[n].itemName + " geladen.");
        }
    }
}

void LoadOpcWatchdogKeys(EngineState& state, IniFile& ini) {
    GeneralSettings& settings = state.settings;
    settings.opcDeadSeconds = schema::Read(ini, schema::kOpcDeadSeconds);
    if (!schema::Write(ini, schema::kOpcDeadSeconds, settings.opcDeadSeconds)) {
        return;
    }
    state.log.WriteLog("OPC_tot-Zeit in Sekunden: " + std::to_string(settings.opcDeadSeconds));
    settings.opcCloseCount = schema::Read(ini, schema::kOpcCloseCount);
}

void LoadWarnings(EngineState& state, const IniFile& ini) {
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        config::ClearWarningState(state, n);
        ItemConfig& item = state.items[n];
        bool& warnung = state.statistics[n].effectiveWarnung;
        warnung = schema::Read(ini, schema::kWarnung, n);
        if (warnung) {
            item.WarnFlag2 = schema::Read(ini, schema::kWarnFlag2, n);
            item.WarnComp2 = schema::Read(ini, schema::kWarnComp2, n);
            item.WarnLevel2 =
                config::ParseNumber(schema::Read(ini, schema::kWarnLevel2, n), state.locale)
                    .value_or(0.5);
        }
        item.M15_berechnen = schema::Read(ini, schema::kM15Berechnen, n);
    }
}

// A failed write ends the step: the counter file is then not writable for the later
// items either.
void LoadCounterReadings(EngineState& state) {
    IniFile var(state.host.files, state.PathOf(kCounterIniFile));
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        ItemConfig& item = state.items[n];
        item.counterReading =
            config::ParseNumber(var.ReadString(ItemSection(n), "Zählerstand", "0.0"), state.locale)
                .value_or(0.0);
        if (!var.WriteString(ItemSection(n), "Zählerstand",
                             FormatFixed(item.counterReading, 14, 3, state.locale))) {
            return;
        }
    }
}

void LoadItemOptionSteps(EngineState& state) {
    IniFile ini(state.host.files, state.PathOf(kMainIniFile));
    Guarded([&] { LoadLoggingOptions(state); });
    Guarded([&] { BuildValueDelimiters(state); });
    Guarded([&] { LoadTimeTables(state); });
    if (state.settings.sourceKind == SourceKind::Opc) {
        Guarded([&] { LoadOpcWatchdogKeys(state, ini); });
    }
    Guarded([&] { LoadWarnings(state, ini); });
    Guarded([&] { LoadCounterReadings(state); });
    state.log.WriteLog(state.settings.printAtMidnight ? "Protokollausdruck eingeschaltet"
                                                      : "Protokollausdruck ausgeschaltet.");
}

}  // namespace

void LoadItemOptions(EngineState& state) {
    Guarded([&] { LoadItemOptionSteps(state); });
}

}  // namespace tarvedde
