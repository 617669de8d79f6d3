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
#include "platform/path_names.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

using config::ItemSection;
using config::LoadScope;

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

bool LoadExtraneousWaterKeys(LoadScope& load, IniFile& ini) {
    ExtraneousWaterSettings& water = load.settings.extraneousWater;
    water.ZulaufMin_ls_index = schema::Read(ini, schema::kZulaufMinIndex);
    water.ZulaufSumme_qbm_index = schema::Read(ini, schema::kZulaufSummeIndex);
    const auto inflow =
        config::ParseNormalized(schema::Read(ini, schema::kZulaufEwInd), load.locale);
    water.Zulauf_EwInd_ls = inflow.value_or(1.0);
    if (inflow) {
        load.log.WriteLog("Fremdwasserberechnung: Geschätzter Nachtzulauf EW+Ind in l/s = " +
                          FormatFixed(*inflow, 8, 2, load.locale));
    } else {
        load.log.WriteLog("Fehlerhafter Wert für [Fremdwasser] Zulauf_EwInd_ls  !");
    }
    return schema::Write(ini, schema::kZulaufMinIndex, water.ZulaufMin_ls_index) &&
           schema::Write(ini, schema::kZulaufSummeIndex, water.ZulaufSumme_qbm_index) &&
           schema::Write(ini, schema::kZulaufEwInd,
                         FormatFixed(water.Zulauf_EwInd_ls, 8, 2, load.locale));
}

// False for a source kind the program does not know: nothing else may be loaded then.
bool SetOperatingMode(LoadScope& load) {
    GeneralSettings& settings = load.settings;
    switch (settings.sourceKind) {
        case SourceKind::Dde:
        case SourceKind::Opc:
            settings.permanentMode = true;
            return true;
        case SourceKind::Aqasys:
            settings.permanentMode = false;
            return true;
    }
    load.log.WriteLog("Fehler. DDE-Typ = " + std::to_string(static_cast<int>(settings.sourceKind)) +
                      " !");
    return false;
}

bool LoadDayChangeAndCount(LoadScope& load, const IniFile& ini) {
    GeneralSettings& settings = load.settings;
    settings.customDayChange = schema::Read(ini, schema::kCustomIni);
    // A day change still pending when CustomIni was switched off must still bring its
    // statistics, or the ended day's values flow into the running one.
    if (!load.keepRunning) {
        settings.customNewDay = schema::Read(ini, schema::kCustomNewDay);
    }
    if (settings.customDayChange) {
        const Result<double> time = StrToTime(schema::Read(ini, schema::kCustomTime), load.locale);
        if (time) {
            settings.customDayChangeTime = time.value();
        } else {
            settings.customDayChange = false;
        }
    }
    settings.diaryOutput = schema::Read(ini, schema::kTarveget);
    if (!load.keepRunning) {
        settings.itemCount = schema::Read(ini, schema::kItemcount);
    }
    return true;
}

bool LoadCounterState(LoadScope& load) {
    IniFile var(load.host.files, load.PathOf(kCounterIniFile));
    const IniReadBatch batch(var);
    for (int n = 1; n <= load.settings.itemCount; ++n) {
        ItemConfig& item = load.items[n];
        const std::string section = ItemSection(n);
        if (!item.counterReadingUnsaved) {
            item.counterReading = config::ReadCounterReading(load, var, n);
        }
        item.Fortlaufend_summieren = var.ReadBool(section, "Fortlaufend_summieren", false);
        item.Tagesmengen_protokollieren = var.ReadBool(section, "Tagesmengen_protokollieren", true);
        const bool written =
            var.WriteString(section, "Zählerstand",
                            FormatFixed(item.counterReading, 14, 3, load.locale)) &&
            var.WriteBool(section, "Fortlaufend_summieren", item.Fortlaufend_summieren) &&
            var.WriteBool(section, "Tagesmengen_protokollieren", item.Tagesmengen_protokollieren);
        if (!written) {
            // A read-only file, too: the readings stay unsaved, and the operator must know.
            load.log.WriteLog("Fehler beim Speichern von " + std::string(kCounterIniFile) + " !");
            return false;
        }
        item.counterReadingUnsaved = false;
    }
    return true;
}

// Reported once per load, here; building the delimiters leaves such lines out.
void ReportBadDelimiterLines(LoadScope& load, const char* fileName,
                             const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!config::DelimiterByte(lines[i])) {
            const std::string_view code = config::DelimiterCode(lines[i]);
            load.log.WriteLog("Fehlerhafter Wert in " + std::string(fileName) + ", Zeile " +
                              std::to_string(i + 1) + " = " +
                              (code.empty() ? std::string("(leer)") : std::string(code)) +
                              " ! Die Zeile wird übergangen.");
        }
    }
}

bool LoadDelimiterLists(LoadScope& load) {
    const FileSystem& files = load.host.files;
    if (const auto prefix = ReadLines(files, load.PathOf(config::kPrefixFile))) {
        load.settings.prefixCodes = prefix.value();
        ReportBadDelimiterLines(load, config::kPrefixFile, prefix.value());
    }
    if (const auto suffix = ReadLines(files, load.PathOf(config::kSuffixFile))) {
        load.settings.suffixCodes = suffix.value();
        ReportBadDelimiterLines(load, config::kSuffixFile, suffix.value());
    }
    return true;
}

// The moving-average interval is kept in ms; seconds that overflow the ms count fall back
// to the default interval.
void LoadIntervalSettings(LoadScope& load, const LoadTargets& out, const IniFile& ini) {
    GeneralSettings& settings = load.settings;
    settings.intervalCount = schema::Read(ini, schema::kIntervall);
    const int unit = schema::Read(ini, schema::kEinheit);
    // "Stunde(n)" runs every minute, as the settings dialog applies it to the running program.
    settings.intervalUnit = unit > 2 ? 0 : unit;
    settings.bufferSize = schema::Read(ini, schema::kPuffer);
    settings.movingBufferSize = schema::Read(ini, schema::kGleitendPuffer);
    const int movingSeconds = schema::Read(ini, schema::kGleitendIntervall);
    const std::int64_t movingMs = std::int64_t{movingSeconds} * 1000;
    settings.movingIntervalMs = movingMs > INT_MAX || movingMs < INT_MIN
                                    ? kMovingIntervalFallbackMs
                                    : static_cast<int>(movingMs);
    out.grid.Resize(out.grid.ColumnCount(), std::clamp(settings.bufferSize, 0, 10000) + 6);
}

void LoadStartAndOutputKeys(LoadScope& load, const IniFile& ini) {
    GeneralSettings& settings = load.settings;
    settings.autoStart = schema::Read(ini, schema::kAutoStart);
    settings.opcServer = schema::Read(ini, schema::kOpcServer);
    settings.ddeService = schema::Read(ini, schema::kDdeServer);
    settings.ddeTopic = schema::Read(ini, schema::kDdeTopic);
    settings.saveRawData = schema::Read(ini, schema::kRohdatenSpeichern);
    if (!settings.saveRawData) {
        load.log.CloseRawData();
    }
    settings.viewerOutput = schema::Read(ini, schema::kTarveview);
    settings.printerIndex = schema::Read(ini, schema::kDrucker);
    settings.printAtMidnight = schema::Read(ini, schema::kDrucken);
    // The printer itself is the desktop's to select (the engine has none).
    if (settings.printerIndex < 0) {
        settings.printAtMidnight = false;
    }
}

// A blank line in the code list defines no item; its name line is skipped with it. The
// names of all lines come back: a parameter's number is its line, in the diary binding's
// choice as in the retrieval and the editor.
std::vector<std::string> ReadAqasysItems(LoadScope& load) {
    const FileSystem& files = load.host.files;
    const auto codes = ReadLines(files, load.PathOf(config::kAqasysCodesFile)).value_or({});
    const auto names = ReadLines(files, load.PathOf(config::kAqasysNamesFile)).value_or({});
    load.aqasysCodes.clear();
    load.aqasysNames.clear();
    std::vector<std::string> lineNames;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        lineNames.push_back(i < names.size() ? names[i] : codes[i]);
        if (codes[i].find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        load.aqasysCodes.push_back(codes[i]);
        load.aqasysNames.push_back(lineNames.back());
    }
    return lineNames;
}

void LoadAqasysItems(LoadScope& load) {
    load.settings.autoStart = false;
    const std::vector<std::string> lineNames = ReadAqasysItems(load);
    if (load.aqasysCodes.empty()) {
        load.host.op.ShowMessage("Keine AQASYS DDE-Items definiert !");
        load.settings.configValid = false;
        return;
    }
    std::vector<std::string>& choice = load.dialogLists.diaryItemChoice;
    choice.assign({"undefiniert"});
    choice.insert(choice.end(), lineNames.begin(), lineNames.end());
}

Status LoadItemPart(LoadScope& load, const LoadTargets& out, IniFile& ini) {
    LoadIntervalSettings(load, out, ini);
    config::SetCycleInterval(load.settings);
    LoadStartAndOutputKeys(load, ini);
    if (!load.settings.permanentMode) {
        LoadAqasysItems(load);
        return {};
    }
    if (Status items = config::LoadItemList(load, out, ini); !items) {
        return items;
    }
    if (!load.settings.configValid) {
        return {};
    }
    config::LoadCalibration(load, out);
    if (!load.settings.varIniScaling) {
        return {};
    }
    return config::LoadScaling(load, out, ini);
}

bool FinishModeSetup(LoadScope& load) {
    if (load.settings.permanentMode) {
        return true;
    }
    load.settings.printAtMidnight = false;
    return true;
}

bool LoadConfigurationSteps(LoadScope& load, const LoadTargets& out) {
    IniFile ini(load.host.files, load.PathOf(kMainIniFile));
    const IniReadBatch batch(ini);
    Guarded([&] {
        config::LoadProtocolOrder(load);
        return true;
    });
    Guarded([&] { return LoadExtraneousWaterKeys(load, ini); });
    Guarded([&] {
        load.settings.varIniScaling = schema::Read(ini, schema::kVariniSkalierung);
        return true;
    });
    if (!Guarded([&] { return SetOperatingMode(load); })) {
        return false;
    }
    Guarded([&] { return LoadDayChangeAndCount(load, ini); });
    if (load.settings.permanentMode) {
        Guarded([&] { return LoadCounterState(load); });
    }
    Guarded([&] {
        config::LoadDiarySettings(load, out.diary);
        return true;
    });
    Guarded([&] { return LoadDelimiterLists(load); });
    load.settings.configValid = true;
    const bool itemPartDone = Guarded([&] { return LoadItemPart(load, out, ini).ok(); });
    if (!itemPartDone) {
        load.host.op.ShowMessage("Fehler beim Ausführen der .INI-Datei !");
    }
    Guarded([&] { return FinishModeSetup(load); });
    return load.settings.permanentMode;
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

bool Configuration::Load(const LoadTargets& targets, ItemCount count) {
    config::LoadScope load = Scope(count);
    const bool permanent = Guarded([&] { return LoadConfigurationSteps(load, targets); });
    KeepWarningsOff();
    // Every file read as UTF-8 since the last load, the start's first reads included.
    for (const std::string& path : TakeIniFilesReadAsUtf8(host_.files)) {
        log_.WriteLog(FileNameOf(path) +
                      " als UTF-8 gelesen, wird beim nächsten Schreiben in Windows-1252 "
                      "gespeichert.");
    }
    return permanent;
}

const ExtraneousWaterSettings& Configuration::LoadExtraneousWaterSettings() {
    config::LoadScope load = Scope();
    IniFile ini(host_.files, load.PathOf(kMainIniFile));
    const IniReadBatch batch(ini);
    Guarded([&] { return LoadExtraneousWaterKeys(load, ini); });
    return settings_.extraneousWater;
}

config::LoadScope Configuration::Scope(ItemCount count) {
    return {host_,
            log_,
            locale_,
            programDir_,
            settings_,
            items_,
            tables_,
            protocolOrder_,
            logFlags_,
            dialogLists_,
            aqasysCodes_,
            aqasysNames_,
            analogViewerItems_,
            digitalViewerItems_,
            count == ItemCount::KeepRunning};
}

}  // namespace tarvedde
