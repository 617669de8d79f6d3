// The item list of TARVEDDE.INI: one pass over items 1..itemCount that fills each item's
// configuration, statistics limits and TARVEDDE.COF record and rebuilds the item lists of
// the main window and the dialogs. At most 180 items of some 30 keys each; the INI file
// is parsed once and cached. Guarantees: an item is loaded completely or the pass stops
// at it; a missing item on DDE stops the pass with configValid false; a bad limit or a
// failed write ends the pass with a failure the caller reports.
#include <algorithm>

#include "engine/config_steps.h"
#include "engine/configuration_loader.h"
#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde::config {
namespace {

constexpr std::size_t kMaxServerItem = 100;
constexpr std::size_t kMaxName = 30;
constexpr std::size_t kMaxUnit = 10;

Result<double> ReadLimit(const EngineState& state, const IniFile& ini, const char* section, int n,
                         std::string_view defaultText) {
    const std::string text = ini.ReadString(section, ItemKey(n), defaultText);
    if (const auto value = ParseNormalized(text, state.locale)) {
        return *value;
    }
    return Error{"[" + std::string(section) + "] " + ItemKey(n) + " = " + text};
}

Status LoadLimits(EngineState& state, const IniFile& ini, int n) {
    ItemConfig& item = state.items[n];
    item.Warnung = ini.ReadBool("Warnung", ItemKey(n), false);
    double* const targets[] = {&item.UpWarn, &item.LoWarn, &item.UpLimit, &item.LoLimit,
                               &item.IntegralLimit};
    const char* const sections[] = {"UpWarn", "LoWarn", "UpLimit", "LoLimit", "IntegralLimit"};
    const char* const defaults[] = {"0", "0", "100000.0", "-100000.0", "0.01"};
    for (std::size_t i = 0; i < std::size(targets); ++i) {
        const Result<double> value = ReadLimit(state, ini, sections[i], n, defaults[i]);
        if (!value) {
            return value.error();
        }
        *targets[i] = value.value();
    }
    item.IntegralBezug = ini.ReadInteger("IntegralBezug", ItemKey(n), 1);
    ItemStatistics& statistics = state.statistics[n];
    statistics.Warnung = item.Warnung;
    statistics.UpWarn = item.UpWarn;
    statistics.LoWarn = item.LoWarn;
    statistics.UpLimit = item.UpLimit;
    statistics.LoLimit = item.LoLimit;
    return {};
}

double TimeOrZero(std::string_view text, const Locale& locale) {
    return StrToTime(text, locale).value_or(0.0);
}

void ParseTimeFrame(std::string_view text, const Locale& locale, TimeFrame& frame) {
    frame.on = Teilstring(text, 1) != "0";
    frame.frameStart = frame.on ? TimeOrZero(Teilstring(text, 2), locale) : 0.0;
    frame.frameEnd = frame.on ? TimeOrZero(Teilstring(text, 3), locale) : 0.0;
}

// False when factor or divisor is not a number; both are then 1.0.
bool ParseValueConversion(std::string_view text, const Locale& locale, ValueConversion& conv) {
    conv.conversionUnit.clear();
    conv.conversionOn = Teilstring(text, 1) != "0";
    if (!conv.conversionOn) {
        return true;
    }
    conv.varName = CutText(Teilstring(text, 2), kMaxName);
    conv.conversionUnit = CutText(Teilstring(text, 3), kMaxUnit);
    conv.timeBase = StrToIntDef(Teilstring(text, 6), 0);
    const auto factor = ParseNumber(Teilstring(text, 4), locale);
    const auto divisor = ParseNumber(Teilstring(text, 5), locale);
    conv.conversionFactor = factor && divisor ? *factor : 1.0;
    conv.conversionDivisor = factor && divisor ? *divisor : 1.0;
    return factor && divisor;
}

void ParseMirrorSetting(std::string_view text, MirrorSetting& mirror) {
    mirror.mirrorOn = Teilstring(text, 1) != "0";
    if (!mirror.mirrorOn) {
        return;
    }
    mirror.sourceItem = StrToIntDef(Teilstring(text, 2), -1);
    mirror.mirrorOn = mirror.sourceItem >= 0;
}

void LoadFieldTexts(EngineState& state, const IniFile& ini, int n) {
    ItemConfig& item = state.items[n];
    ParseTimeFrame(ini.ReadString("Zeitrahmen", ItemKey(n), "0"), state.locale, item.timeFrame);
    if (!ParseValueConversion(ini.ReadString("Umrechnung", ItemKey(n), "0"), state.locale,
                              item.valueConversion)) {
        state.log.WriteLog("Fehler im Umrechnungs-String !");
    }
    ParseMirrorSetting(ini.ReadString("Spiegelung", ItemKey(n), "0"), item.mirror);
}

Status LoadViewerSettings(EngineState& state, IniFile& ini, int n) {
    ItemConfig& item = state.items[n];
    item.Gleitend = ini.ReadBool("Gleitend", ItemKey(n), false);
    item.Differenz = ini.ReadBool("Differenz", ItemKey(n), false);
    item.Grafikanzeige = ini.ReadBool("Grafikanzeige", ItemKey(n), true);
    item.GrafikRef = ini.ReadInteger("GrafikRef", ItemKey(n), 0);
    item.Grafiktyp = ini.ReadInteger("Grafiktyp", ItemKey(n), 1);
    if (item.Grafikanzeige) {
        state.analogViewerItems += item.Grafiktyp == 1 ? 1 : 0;
        state.digitalViewerItems += item.Grafiktyp == 2 ? 1 : 0;
    }
    ConfigRecord& record = state.configRecords[n];
    record.serverItem = CutText(item.serverItem, kMaxServerItem);
    record.itemName = CutText(item.itemName, kMaxName);
    record.GrafikRef = item.GrafikRef;
    record.Grafiktyp = item.Grafiktyp;
    // Fifteen-minute values of an on/off signal mean nothing.
    if (item.IsDigital()) {
        item.M15_berechnen = false;
    }
    return ini.WriteBool(ItemSection(n), "M15_berechnen", item.M15_berechnen);
}

Status LoadRecordAndOptions(EngineState& state, IniFile& ini, int n) {
    ItemConfig& item = state.items[n];
    ItemStatistics& statistics = state.statistics[n];
    ConfigRecord& record = state.configRecords[n];
    item.unit = CutText(ini.ReadString("Einheiten", ItemKey(n), ""), kMaxUnit);
    item.Integral = ini.ReadBool("Integral", ItemKey(n), false);
    item.Tagesauswahl = ini.ReadInteger("Tagesauswahl", ItemKey(n), 127);
    record.unit = item.unit;
    record.Integral = item.Integral;
    record.Tagesauswahl = item.Tagesauswahl;
    record.UpLimit = item.UpLimit;
    record.LoLimit = item.LoLimit;
    if (item.IsDigital()) {
        item.MaxAusZeit_anzeigen = ini.ReadBool("MaxAusZeit_anzeigen", ItemKey(n), false);
        statistics.MaxAusZeit_anzeigen = item.MaxAusZeit_anzeigen;
        if (Status written =
                ini.WriteBool("MaxAusZeit_anzeigen", ItemKey(n), item.MaxAusZeit_anzeigen);
            !written) {
            return written;
        }
    } else if (item.mirror.mirrorOn) {
        item.Ganglinie = ini.ReadInteger("Ganglinie", ItemKey(n), 0);
        statistics.Ganglinie = item.Ganglinie;
        if (Status written = ini.WriteInteger("Ganglinie", ItemKey(n), item.Ganglinie); !written) {
            return written;
        }
    }
    std::string& conversionUnit = item.valueConversion.conversionUnit;
    if (conversionUnit.empty()) {
        conversionUnit = item.unit;
    }
    return ini.WriteString("GrafikEinheit", ItemKey(n), conversionUnit);
}

void LoadSumUnits(EngineState& state, const IniFile& ini, int n) {
    ItemConfig& item = state.items[n];
    const auto divisor = [&](const char* section) {
        return ParseNumber(ini.ReadString(section, ItemKey(n), "1"), state.locale).value_or(1.0);
    };
    item.sumUnit = CutText(ini.ReadString("SummenEinheiten", ItemKey(n), item.unit), kMaxUnit);
    item.sumDivisor = divisor("SummenTeiler");
    item.viewerSumUnit =
        CutText(ini.ReadString("GrafikSumEinheit", ItemKey(n), item.unit), kMaxUnit);
    item.viewerSumDivisor = divisor("GrafikSumTeiler");
}

// False when the item is not defined on a source that needs every item (the pass stops).
Result<bool> LoadItem(EngineState& state, IniFile& ini, int n) {
    ItemConfig& item = state.items[n];
    item.M15_berechnen = ini.ReadBool(ItemSection(n), "M15_berechnen", true);
    LoadItemTable(state, ini, n);
    item.serverItem = ini.ReadString("Items", ItemKey(n), "0");
    item.itemName = ini.ReadString("Itemnames", ItemKey(n), "undefiniert_" + std::to_string(n));
    state.window.it1.push_back(ItemListRow{item.serverItem, {}});
    // OPC items are browsed and added by the server's identifiers, so a gap is no error
    // there; a DDE link needs every item string.
    const bool missing = item.serverItem == "0" || item.itemName.empty();
    if (missing && static_cast<int>(state.settings.sourceKind) < 3) {
        state.log.WriteLog("DDE-Item Nr." + std::to_string(n) + " fehlt !");
        state.settings.configValid = false;
        return false;
    }
    if (Status limits = LoadLimits(state, ini, n); !limits) {
        return limits.error();
    }
    LoadFieldTexts(state, ini, n);
    if (Status viewer = LoadViewerSettings(state, ini, n); !viewer) {
        return viewer.error();
    }
    if (Status options = LoadRecordAndOptions(state, ini, n); !options) {
        return options.error();
    }
    LoadSumUnits(state, ini, n);
    state.dialogLists.itemNames.push_back(item.itemName);
    state.dialogLists.diaryItemChoice.push_back(item.itemName);
    return true;
}

void ClearItemLists(EngineState& state) {
    state.analogViewerItems = 0;
    state.digitalViewerItems = 0;
    state.dialogLists.itemNames.clear();
    state.dialogLists.diaryItemChoice.assign({"undefiniert"});
    state.window.it1.clear();
}

}  // namespace

Status LoadItemList(EngineState& state, IniFile& ini) {
    GeneralSettings& settings = state.settings;
    settings.itemCount = ini.ReadInteger("DDE", "Itemcount", 0);
    if (settings.itemCount > maxItems) {
        settings.itemCount = maxItems;
        state.host.op.ShowMessage("Sie haben mehr als " + std::to_string(maxItems) +
                                  " Items definiert !");
    }
    state.settingsForm.spItems = settings.itemCount;
    if (settings.itemCount <= 0) {
        state.host.op.ShowMessage("Keine Items definiert !");
        settings.configValid = false;
        settings.autoStart = false;
        return {};
    }
    ClearItemLists(state);
    for (int n = 1; n <= settings.itemCount; ++n) {
        const Result<bool> loaded = LoadItem(state, ini, n);
        if (!loaded) {
            return loaded.error();
        }
        if (!loaded.value()) {
            break;
        }
    }
    return {};
}

}  // namespace tarvedde::config
