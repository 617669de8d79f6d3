// The configuration's writes from outside the loader: each is one moment of the program
// (the start, the day change, a dialog, an item's link) that changes a setting.
#include "engine/config/configuration.h"

#include <algorithm>

#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "platform/ini_file.h"

namespace tarvedde {

void Configuration::BeginProgramStart(SourceKind kind) {
    settings_.sourceKind = kind;
    settings_.itemCount = std::min(settings_.itemCount, maxItems);
    settings_.customDayChange = false;
    settings_.customNewDay = false;
    settings_.firstRun = false;
}

bool Configuration::ReadStartSettings() {
    IniFile ini(host_.files, PathOf(kMainIniFile));
    const IniReadBatch batch(ini);
    settings_.opcHost = schema::Read(ini, schema::kOpcHost);
    settings_.opcServer = schema::Read(ini, schema::kOpcServer);
    settings_.permanentMode = schema::Read(ini, schema::kPermanent);
    settings_.formatPrecision = schema::Read(ini, schema::kFormatPR);
    settings_.formatDecimals = schema::Read(ini, schema::kFormatNK);
    settings_.firstRun = schema::Read(ini, schema::kFirstRun);
    settings_.nullStart = schema::Read(ini, schema::kNullstart);
    // A missing AutoStart starts acquisition by itself (the load's default), so the guard
    // must not ask as if a person had started it: unattended, the question ends the start.
    settings_.autoStart = schema::Read(ini, schema::kAutoStart);
    (void)schema::Write(ini, schema::kNullstart, false);
    settings_.checkDead = schema::Read(ini, schema::kCheckTot);
    (void)schema::Write(ini, schema::kCheckTot, settings_.checkDead);
    settings_.varIniScaling = schema::Read(ini, schema::kVariniSkalierung);
    return settings_.permanentMode;
}

void Configuration::ReadSavedDayKeys(IniFile& ini, const std::string& yesterday) {
    (void)schema::Write(ini, schema::kOpcCloseCount, 5);
    settings_.savedDay = schema::Read(ini, schema::kAktuTag, yesterday);
    // Pending, the state and the statistics window are the day before AktuTag's.
    settings_.customNewDay = schema::Read(ini, schema::kCustomNewDay);
    settings_.fifteenMinuteSpan = schema::Read(ini, schema::kM15Minutes);
    (void)schema::Write(ini, schema::kM15Minutes, settings_.fifteenMinuteSpan);
    settings_.maxReportSize = schema::Read(ini, schema::kMaxRTF);
    (void)schema::Write(ini, schema::kMaxRTF, settings_.maxReportSize);
    settings_.reportFontSize = schema::Read(ini, schema::kProtoFontsize);
    (void)schema::Write(ini, schema::kProtoFontsize, settings_.reportFontSize);
}

void Configuration::SetAqasysParameters(std::vector<std::string> codes,
                                        std::vector<std::string> names) {
    AqasysEditorLists& lists = dialogLists_.aqasysEditor;
    lists.itemCount = static_cast<int>(codes.size());
    dialogLists_.diaryItemChoice = {"undefiniert"};
    dialogLists_.diaryItemChoice.insert(dialogLists_.diaryItemChoice.end(), names.begin(),
                                        names.end());
    lists.items = std::move(codes);
    lists.names = std::move(names);
}

void Configuration::UpdateCycleInterval() {
    config::SetCycleInterval(settings_);
}

void Configuration::SetLogFlags(const ItemLogFlagsArray& flags, int count) {
    std::copy_n(flags.begin() + 1, count, logFlags_.begin() + 1);
}

void Configuration::UseRawDigitalValue(int n) {
    ItemConfig& item = items_[n];
    if (item.IsDigital()) {
        item.calibrationSlope = 1.0;
        item.calibrationIntercept = 0.0;
    }
}

void Configuration::SetCalibration(int n, const ItemCalibration& calibration) {
    ItemConfig& item = items_[n];
    item.fileCalibrationSlope = calibration.slope;
    item.fileCalibrationIntercept = calibration.intercept;
    // A digital item's values stay raw, as linking made them.
    if (!item.IsDigital()) {
        item.calibrationSlope = calibration.slope;
        item.calibrationIntercept = calibration.intercept;
    }
    item.MinForUser = calibration.MinForUser;
    item.MaxForUser = calibration.MaxForUser;
    item.MinForSPS = calibration.MinForSPS;
    item.MaxForSPS = calibration.MaxForSPS;
}

void Configuration::SetItemSettings(int n, const ItemConfig& edited) {
    warningsSwitchedOff_ = false;
    ItemConfig& item = items_[n];
    item.serverItem = edited.serverItem;
    item.itemName = edited.itemName;
    item.unit = edited.unit;
    item.UpWarn = edited.UpWarn;
    item.LoWarn = edited.LoWarn;
    item.effectiveWarnung = edited.effectiveWarnung;
    item.WarnFlag2 = edited.WarnFlag2;
    item.WarnComp2 = edited.WarnComp2;
    item.WarnLevel2 = edited.WarnLevel2;
    item.effectiveUpLimit = edited.effectiveUpLimit;
    item.effectiveLoLimit = edited.effectiveLoLimit;
    item.IntegralLimit = edited.IntegralLimit;
    item.IntegralBezug = edited.IntegralBezug;
    item.timeFrame = edited.timeFrame;
    item.Tagesauswahl = edited.Tagesauswahl;
    item.valueConversion = edited.valueConversion;
    item.mirror = edited.mirror;
    item.Gleitend = edited.Gleitend;
    item.Differenz = edited.Differenz;
    item.Integral = edited.Integral;
    item.GrafikRef = edited.GrafikRef;
    item.Grafiktyp = edited.Grafiktyp;
    item.sumUnit = edited.sumUnit;
    item.sumDivisor = edited.sumDivisor;
    item.viewerSumUnit = edited.viewerSumUnit;
    item.viewerSumDivisor = edited.viewerSumDivisor;
    item.calibrationSlope = item.fileCalibrationSlope = edited.calibrationSlope;
    item.calibrationIntercept = item.fileCalibrationIntercept = edited.calibrationIntercept;
    // Only the load and this save can make an item digital; the switch is read here, not
    // every cycle.
    if (item.IsDigital()) {
        const IniFile ini(host_.files, PathOf(kMainIniFile));
        item.MaxAusZeit_anzeigen = schema::Read(ini, schema::kMaxAusZeitAnzeigen, n);
    }
    const auto row = static_cast<std::size_t>(n);
    if (row <= dialogLists_.itemNames.size()) {
        dialogLists_.itemNames[row - 1] = item.itemName;
    }
    // The diary dialog's choice has "undefiniert" in front.
    if (row < dialogLists_.diaryItemChoice.size()) {
        dialogLists_.diaryItemChoice[row] = item.itemName;
    }
}

void Configuration::RecountViewerItems() {
    analogViewerItems_ = 0;
    digitalViewerItems_ = 0;
    for (int n = 1; n <= settings_.itemCount; ++n) {
        if (items_[n].Grafikanzeige) {
            analogViewerItems_ += items_[n].Grafiktyp == 1 ? 1 : 0;
            digitalViewerItems_ += items_[n].Grafiktyp == 2 ? 1 : 0;
        }
    }
}

}  // namespace tarvedde
