// The item list of TARVEDDE.INI: one pass over items 1..itemCount that fills each item's
// configuration, warning switch and TARVEDDE.COF record and rebuilds the item lists of
// the main window and the dialogs. At most 180 items of some 30 keys each; the INI file
// is parsed once and cached. Guarantees: an item is loaded completely or the pass stops
// at it; a missing item on DDE stops the pass with configValid false; a bad limit or a
// failed write ends the pass with a failure the caller reports.
#include <algorithm>

#include "engine/config/config_steps.h"
#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde::config {
namespace {

constexpr std::size_t kMaxServerItem = 100;
constexpr std::size_t kMaxName = 30;
constexpr std::size_t kMaxUnit = 10;

// A limit that is no number ("100.000,0") takes its default: ending the item pass there
// would leave every item uncalibrated while acquisition starts all the same.
double ReadLimit(const LoadScope& load, const IniFile& ini,
                 const schema::ItemKey<schema::TextKey>& key, int n) {
    const std::string text = schema::Read(ini, key, n);
    if (const auto value = ParseNormalized(text, load.locale)) {
        return *value;
    }
    const double fallback = ParseNormalized(key.key.fallback, load.locale).value_or(0.0);
    const schema::Location at = schema::Locate(key, n);
    load.log.WriteLog("Fehlerhafter Wert für [" + at.section + "] " + at.name + " = " + text +
                      " ! Es gilt " + FormatGeneral(fallback, load.locale) + ".");
    return fallback;
}

void LoadLimits(LoadScope& load, const IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    item.effectiveWarnung = schema::Read(ini, schema::kWarnung, n);
    double* const targets[] = {&item.UpWarn, &item.LoWarn, &item.effectiveUpLimit,
                               &item.effectiveLoLimit, &item.IntegralLimit};
    const schema::ItemKey<schema::TextKey>* const keys[] = {&schema::kUpWarn, &schema::kLoWarn,
                                                            &schema::kUpLimit, &schema::kLoLimit,
                                                            &schema::kIntegralLimit};
    for (std::size_t i = 0; i < std::size(targets); ++i) {
        *targets[i] = ReadLimit(load, ini, *keys[i], n);
    }
    item.IntegralBezug = schema::Read(ini, schema::kIntegralBezug, n);
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

void LoadFieldTexts(LoadScope& load, const IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    ParseTimeFrame(schema::Read(ini, schema::kZeitrahmen, n), load.locale, item.timeFrame);
    if (!ParseValueConversion(schema::Read(ini, schema::kUmrechnung, n), load.locale,
                              item.valueConversion)) {
        load.log.WriteLog("Fehler im Umrechnungs-String !");
    }
    ParseMirrorSetting(schema::Read(ini, schema::kSpiegelung, n), item.mirror);
}

Status LoadViewerSettings(LoadScope& load, const LoadTargets& out, IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    item.Gleitend = schema::Read(ini, schema::kGleitend, n);
    item.Differenz = schema::Read(ini, schema::kDifferenz, n);
    item.Grafikanzeige = schema::Read(ini, schema::kGrafikanzeige, n);
    item.GrafikRef = schema::Read(ini, schema::kGrafikRef, n);
    item.Grafiktyp = schema::Read(ini, schema::kGrafiktyp, n);
    if (item.Grafikanzeige) {
        load.analogViewerItems += item.Grafiktyp == 1 ? 1 : 0;
        load.digitalViewerItems += item.Grafiktyp == 2 ? 1 : 0;
    }
    ConfigRecord& record = out.records[n];
    record.serverItem = CutText(item.serverItem, kMaxServerItem);
    record.itemName = CutText(item.itemName, kMaxName);
    record.GrafikRef = item.GrafikRef;
    record.Grafiktyp = item.Grafiktyp;
    // Fifteen-minute values of an on/off signal mean nothing.
    if (item.IsDigital()) {
        item.M15_berechnen = false;
    }
    return schema::Write(ini, schema::kM15Berechnen, n, item.M15_berechnen);
}

Status LoadRecordAndOptions(LoadScope& load, const LoadTargets& out, IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    ConfigRecord& record = out.records[n];
    item.unit = CutText(schema::Read(ini, schema::kEinheiten, n), kMaxUnit);
    item.Integral = schema::Read(ini, schema::kIntegral, n);
    item.Tagesauswahl = schema::Read(ini, schema::kTagesauswahl, n);
    record.unit = item.unit;
    record.Integral = item.Integral;
    record.Tagesauswahl = item.Tagesauswahl;
    record.UpLimit = item.effectiveUpLimit;
    record.LoLimit = item.effectiveLoLimit;
    if (item.IsDigital()) {
        item.MaxAusZeit_anzeigen = schema::Read(ini, schema::kMaxAusZeitAnzeigen, n);
        if (Status written =
                schema::Write(ini, schema::kMaxAusZeitAnzeigen, n, item.MaxAusZeit_anzeigen);
            !written) {
            return written;
        }
    } else if (item.mirror.mirrorOn) {
        item.Ganglinie = schema::Read(ini, schema::kGanglinie, n);
        if (Status written = schema::Write(ini, schema::kGanglinie, n, item.Ganglinie); !written) {
            return written;
        }
    }
    std::string& conversionUnit = item.valueConversion.conversionUnit;
    if (conversionUnit.empty()) {
        conversionUnit = item.unit;
    }
    return schema::Write(ini, schema::kGrafikEinheit, n, conversionUnit);
}

void LoadSumUnits(LoadScope& load, const IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    const auto divisor = [&](const schema::ItemKey<schema::TextKey>& key) {
        return ParseNumber(schema::Read(ini, key, n), load.locale).value_or(1.0);
    };
    item.sumUnit = CutText(schema::Read(ini, schema::kSummenEinheiten, n, item.unit), kMaxUnit);
    item.sumDivisor = divisor(schema::kSummenTeiler);
    item.viewerSumUnit =
        CutText(schema::Read(ini, schema::kGrafikSumEinheit, n, item.unit), kMaxUnit);
    item.viewerSumDivisor = divisor(schema::kGrafikSumTeiler);
}

// False when the item is not defined on a source that needs every item (the pass stops).
Result<bool> LoadItem(LoadScope& load, const LoadTargets& out, IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    item.M15_berechnen = schema::Read(ini, schema::kM15Berechnen, n);
    LoadItemTable(load, ini, n);
    item.serverItem = schema::Read(ini, schema::kItems, n);
    item.itemName = schema::Read(ini, schema::kItemnames, n, "undefiniert_" + std::to_string(n));
    out.itemList.push_back(ItemListRow{item.serverItem, {}});
    // OPC items are browsed and added by the server's identifiers, so a gap is no error
    // there; a DDE link needs every item string.
    const bool missing = item.serverItem == "0" || item.itemName.empty();
    if (missing && static_cast<int>(load.settings.sourceKind) < 3) {
        load.log.WriteLog("DDE-Item Nr." + std::to_string(n) + " fehlt !");
        load.settings.configValid = false;
        return false;
    }
    LoadLimits(load, ini, n);
    LoadFieldTexts(load, ini, n);
    if (Status viewer = LoadViewerSettings(load, out, ini, n); !viewer) {
        return viewer.error();
    }
    if (Status options = LoadRecordAndOptions(load, out, ini, n); !options) {
        return options.error();
    }
    LoadSumUnits(load, ini, n);
    load.dialogLists.itemNames.push_back(item.itemName);
    load.dialogLists.diaryItemChoice.push_back(item.itemName);
    return true;
}

void ClearItemLists(LoadScope& load, const LoadTargets& out) {
    load.analogViewerItems = 0;
    load.digitalViewerItems = 0;
    load.dialogLists.itemNames.clear();
    load.dialogLists.diaryItemChoice.assign({"undefiniert"});
    out.itemList.clear();
}

}  // namespace

Status LoadItemList(LoadScope& load, const LoadTargets& out, IniFile& ini) {
    GeneralSettings& settings = load.settings;
    const int configured =
        load.keepRunning ? settings.itemCount : schema::ReadRaw(ini, schema::kItemcount);
    settings.itemCount = schema::kItemcount.Clamp(configured);
    if (configured > maxItems) {
        load.host.op.ShowMessage("Sie haben mehr als " + std::to_string(maxItems) +
                                 " Items definiert !");
    }
    if (settings.itemCount <= 0) {
        load.host.op.ShowMessage("Keine Items definiert !");
        settings.configValid = false;
        settings.autoStart = false;
        return {};
    }
    ClearItemLists(load, out);
    for (int n = 1; n <= settings.itemCount; ++n) {
        const Result<bool> loaded = LoadItem(load, out, ini, n);
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
