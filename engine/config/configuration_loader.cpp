// LoadConfiguration: the settings files into the engine-wide settings and (through the
// step files) the item model. Runs at program start and on every opening of the general
// settings dialog, so it must leave a running day's state files alone: it only asks for
// them when they are missing. Each group of steps is guarded: a failure ends its group,
// the next group runs on what was read, and nothing throws out of here.
#include "engine/config/configuration_loader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>

#include "engine/config/config_steps.h"
#include "engine/config/settings_schema.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

using config::ItemSection;

constexpr char kPrefixFile[] = "prefix.txt";
constexpr char kSuffixFile[] = "suffix.txt";
constexpr char kAqasysCodesFile[] = "AQASYSITEMS.TXT";
constexpr char kAqasysNamesFile[] = "AQASYSNAMES.TXT";
constexpr int kMovingIntervalFallbackMs = 10000;

// Only the standard library can throw here (allocation); such a failure ends the group.
template <class Steps>
bool Guarded(Steps&& steps) {
    try {
        return steps();
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadExtraneousWaterKeys(EngineState& state, IniFile& ini) {
    ExtraneousWaterSettings& water = state.settings.extraneousWater;
    water.ZulaufMin_ls_index = schema::Read(ini, schema::kZulaufMinIndex);
    water.ZulaufSumme_qbm_index = schema::Read(ini, schema::kZulaufSummeIndex);
    const auto inflow =
        config::ParseNormalized(schema::Read(ini, schema::kZulaufEwInd), state.locale);
    water.Zulauf_EwInd_ls = inflow.value_or(1.0);
    if (inflow) {
        state.log.WriteLog("Fremdwasserberechnung: Geschätzter Nachtzulauf EW+Ind in l/s = " +
                           FormatFixed(*inflow, 8, 2, state.locale));
    } else {
        state.log.WriteLog("Fehlerhafter Wert für [Fremdwasser] Zulauf_EwInd_ls  !");
    }
    return schema::Write(ini, schema::kZulaufMinIndex, water.ZulaufMin_ls_index) &&
           schema::Write(ini, schema::kZulaufSummeIndex, water.ZulaufSumme_qbm_index) &&
           schema::Write(ini, schema::kZulaufEwInd,
                         FormatGeneral(water.Zulauf_EwInd_ls, state.locale));
}

// False for a source kind the program does not know: nothing else may be loaded then.
bool SetOperatingMode(EngineState& state) {
    GeneralSettings& settings = state.settings;
    switch (settings.sourceKind) {
        case SourceKind::Dde:
        case SourceKind::Opc:
            settings.permanentMode = true;
            return true;
        case SourceKind::Aqasys:
            settings.permanentMode = false;
            return true;
    }
    state.log.WriteLog(
        "Fehler. DDE-Typ = " + std::to_string(static_cast<int>(settings.sourceKind)) + " !");
    return false;
}

bool LoadDayChangeAndCount(EngineState& state, const IniFile& ini) {
    GeneralSettings& settings = state.settings;
    settings.customDayChange = schema::Read(ini, schema::kCustomIni);
    if (settings.customDayChange) {
        settings.customNewDay = schema::Read(ini, schema::kCustomNewDay);
        const Result<double> time = StrToTime(schema::Read(ini, schema::kCustomTime), state.locale);
        if (time) {
            settings.customDayChangeTime = time.value();
        } else {
            settings.customDayChange = false;
        }
    }
    settings.diaryOutput = schema::Read(ini, schema::kTarveget);
    settings.itemCount = schema::Read(ini, schema::kItemcount);
    return true;
}

bool LoadCounterState(EngineState& state) {
    IniFile var(state.host.files, state.PathOf(kCounterIniFile));
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        ItemConfig& item = state.items[n];
        const std::string section = ItemSection(n);
        item.counterReading =
            config::ParseNumber(var.ReadString(section, "Zählerstand", "0,0"), state.locale)
                .value_or(0.0);
        item.Fortlaufend_summieren = var.ReadBool(section, "Fortlaufend_summieren", false);
        item.Tagesmengen_protokollieren = var.ReadBool(section, "Tagesmengen_protokollieren", true);
        const bool written =
            var.WriteString(section, "Zählerstand",
                            FormatFixed(item.counterReading, 14, 3, state.locale)) &&
            var.WriteBool(section, "Fortlaufend_summieren", item.Fortlaufend_summieren) &&
            var.WriteBool(section, "Tagesmengen_protokollieren", item.Tagesmengen_protokollieren);
        if (!written) {
            return false;
        }
    }
    return true;
}

bool LoadDelimiterLists(EngineState& state) {
    const FileSystem& files = state.host.files;
    if (const auto prefix = ReadLines(files, state.PathOf(kPrefixFile))) {
        state.settings.prefixCodes = prefix.value();
    }
    if (const auto suffix = ReadLines(files, state.PathOf(kSuffixFile))) {
        state.settings.suffixCodes = suffix.value();
    }
    return true;
}

// The moving-average interval is kept in ms; seconds that overflow the ms count fall back
// to the default interval.
void LoadIntervalSettings(EngineState& state, const IniFile& ini) {
    GeneralSettings& settings = state.settings;
    settings.intervalCount = schema::Read(ini, schema::kIntervall);
    const int unit = schema::Read(ini, schema::kEinheit);
    settings.intervalUnit = unit >= 2 ? 0 : unit;
    settings.bufferSize = schema::Read(ini, schema::kPuffer);
    settings.movingBufferSize = schema::Read(ini, schema::kGleitendPuffer);
    const int movingSeconds = schema::Read(ini, schema::kGleitendIntervall);
    const std::int64_t movingMs = std::int64_t{movingSeconds} * 1000;
    settings.movingIntervalMs = movingMs > INT_MAX || movingMs < INT_MIN
                                    ? kMovingIntervalFallbackMs
                                    : static_cast<int>(movingMs);
    state.grid.Resize(state.grid.ColumnCount(), std::clamp(settings.bufferSize, 0, 10000) + 6);
}

void LoadStartAndOutputKeys(EngineState& state, const IniFile& ini) {
    GeneralSettings& settings = state.settings;
    settings.autoStart = schema::Read(ini, schema::kAutoStart);
    settings.opcServer = schema::Read(ini, schema::kOpcServer);
    settings.ddeService = schema::Read(ini, schema::kDdeServer);
    settings.ddeTopic = schema::Read(ini, schema::kDdeTopic);
    settings.saveRawData = schema::Read(ini, schema::kRohdatenSpeichern);
    settings.viewerOutput = schema::Read(ini, schema::kTarveview);
    settings.printerIndex = schema::Read(ini, schema::kDrucker);
    settings.printAtMidnight = schema::Read(ini, schema::kDrucken);
    if (settings.printerIndex >= 0 && settings.printAtMidnight) {
        config::SelectPrinter(state);
    } else {
        settings.printAtMidnight = false;
    }
}

// A blank line in the code list defines no item; its name line is skipped with it.
void ReadAqasysItems(EngineState& state) {
    const FileSystem& files = state.host.files;
    const auto codes = ReadLines(files, state.PathOf(kAqasysCodesFile)).value_or({});
    const auto names = ReadLines(files, state.PathOf(kAqasysNamesFile)).value_or({});
    state.aqasysCodes.clear();
    state.aqasysNames.clear();
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i].find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        state.aqasysCodes.push_back(codes[i]);
        state.aqasysNames.push_back(i < names.size() ? names[i] : codes[i]);
    }
}

void LoadAqasysItems(EngineState& state) {
    state.settings.autoStart = false;
    ReadAqasysItems(state);
    if (state.aqasysCodes.empty()) {
        state.host.op.ShowMessage("Keine AQASYS DDE-Items definiert !");
        state.settings.configValid = false;
        return;
    }
    std::vector<std::string>& choice = state.dialogLists.diaryItemChoice;
    choice.assign({"undefiniert"});
    choice.insert(choice.end(), state.aqasysNames.begin(), state.aqasysNames.end());
}

Status LoadItemPart(EngineState& state, IniFile& ini) {
    LoadIntervalSettings(state, ini);
    config::SetCycleInterval(state.settings);
    LoadStartAndOutputKeys(state, ini);
    if (!state.settings.permanentMode) {
        LoadAqasysItems(state);
        return {};
    }
    if (Status items = config::LoadItemList(state, ini); !items) {
        return items;
    }
    if (!state.settings.configValid) {
        return {};
    }
    config::LoadCalibration(state);
    if (!state.settings.varIniScaling) {
        return {};
    }
    return config::LoadScaling(state, ini);
}

bool FinishModeSetup(EngineState& state) {
    if (state.settings.permanentMode) {
        return true;
    }
    state.settings.printAtMidnight = false;
    return true;
}

bool LoadConfigurationSteps(EngineState& state) {
    IniFile ini(state.host.files, state.PathOf(kMainIniFile));
    Guarded([&] {
        config::LoadProtocolOrder(state);
        return true;
    });
    Guarded([&] { return LoadExtraneousWaterKeys(state, ini); });
    Guarded([&] {
        state.settings.varIniScaling = schema::Read(ini, schema::kVariniSkalierung);
        return true;
    });
    if (!Guarded([&] { return SetOperatingMode(state); })) {
        return false;
    }
    Guarded([&] { return LoadDayChangeAndCount(state, ini); });
    if (state.settings.permanentMode) {
        Guarded([&] { return LoadCounterState(state); });
    }
    Guarded([&] {
        config::LoadDiarySettings(state);
        return true;
    });
    Guarded([&] { return LoadDelimiterLists(state); });
    state.settings.configValid = true;
    const bool itemPartDone = Guarded([&] { return LoadItemPart(state, ini).ok(); });
    if (!itemPartDone) {
        state.host.op.ShowMessage("Fehler beim Ausführen der .INI-Datei !");
    }
    Guarded([&] { return FinishModeSetup(state); });
    return state.settings.permanentMode;
}

}  // namespace

namespace config {

// Seconds or minutes, at least one; any other unit runs every minute.
void SetCycleInterval(GeneralSettings& settings) {
    const std::int64_t count = std::max(settings.intervalCount, 1);
    std::int64_t intervalMs = 60000;
    if (settings.intervalUnit == 0) {
        intervalMs = count * 1000;
    } else if (settings.intervalUnit == 1) {
        intervalMs = count * 60000;
    }
    settings.cycleIntervalMs = static_cast<int>(std::min<std::int64_t>(intervalMs, INT_MAX));
}

}  // namespace config

bool LoadConfiguration(EngineState& state) {
    return Guarded([&] { return LoadConfigurationSteps(state); });
}

}  // namespace tarvedde
