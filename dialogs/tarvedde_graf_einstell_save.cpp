// The item settings dialog's save: the entries checked and corrected on a copy of the item,
// the copy handed to the running program, then TARVEDDE.INI, EICH.INI and the diary binding
// written. Every refusal and correction is a message; a number that does not convert takes
// its default and is logged.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "dialogs/tarvedde_graf_einstell.h"
#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "platform/date_time.h"
#include "platform/ini_document.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr std::size_t kMaxServerItem = 100;
constexpr std::size_t kMaxName = 30;
constexpr std::size_t kMaxUnit = 10;
constexpr char kMirroredItem[] = "gespiegelt";

// The first `maxChars` characters (not bytes) of a UTF-8 text.
std::string CutChars(const std::string& utf8, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
        if (starts && chars++ == maxChars) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

// A text that TARVEDDE.INI would not give back as itself, or that would split the composite
// "Umrechnung" value or the EICH.INI section the name heads.
bool BreaksIni(const std::string& text, bool composite) {
    return text.find_first_of("\r\n") != std::string::npos ||
           (!text.empty() && (text.front() == '[' || text.front() == '=')) ||
           (composite && text.find_first_of("|]") != std::string::npos);
}

}  // namespace

int TFo_GrafEinstell::ChosenIntegralBezug() const {
    if (keptIntegralBezug_ > 0) {
        return keptIntegralBezug_;
    }
    const bool listed = coIntegralItemIndex >= 1 && coIntegralItemIndex <= 2;
    return kIntegralBezugList[static_cast<std::size_t>(listed ? coIntegralItemIndex : 0)];
}

bool TFo_GrafEinstell::RefuseBrokenTexts() {
    struct Field {
        std::string& text;
        const char* label;
        std::size_t maxChars;
        bool composite;
        bool required;
    };
    // A name the settings file gives back empty would leave the item undefined at the next
    // start.
    const Field fields[] = {{editItem, "Item", kMaxServerItem, false, false},
                            {editName, "Name", kMaxName, true, true},
                            {editEinheit, "Einheit", kMaxUnit, true, false},
                            {eSumEinheit, "Summen-Einheit", kMaxUnit, true, false},
                            {eCWsumEinheit, "Graf.Anzeige", kMaxUnit, true, false},
                            {editUmrEinheit, "Neue Einheit", kMaxUnit, true, false}};
    for (const Field& field : fields) {
        field.text = CutChars(field.text, field.maxChars);
        if (BreaksIni(field.text, field.composite) ||
            (field.required && IniValueAsRead(field.text).empty())) {
            host_.op.ShowMessage(std::string("Unerlaubter Eintrag im Feld ") + field.label +
                                 " !\r\nZeilenumbruch, \"|\", \"]\" sowie \"[\" oder \"=\" am "
                                 "Anfang sind nicht erlaubt.");
            return true;
        }
    }
    return NameTaken();
}

// The name heads the item's EICH.INI section, whose names match without regard to case:
// two items of one name would share one calibration.
bool TFo_GrafEinstell::NameTaken() {
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string name = lower(std::string(IniValueAsRead(editName)));
    for (int k = 1; k <= std::min(config_.Settings().itemCount, maxItems); ++k) {
        if (k != SelectedItem() && lower(config_.Item(k).itemName) == name) {
            host_.op.ShowMessage("Der Name \"" + editName + "\" gehört schon zu Item " +
                                 std::to_string(k) + " !");
            return true;
        }
    }
    return false;
}

double TFo_GrafEinstell::Number(std::string& field, double fallback, int precision, int decimals) {
    const Result<double> parsed = StrToFloat(NormalizeDecimal(field, locale_), locale_);
    double value = fallback;
    if (parsed && std::isfinite(parsed.value())) {
        value = parsed.value();
    } else {
        log_.WriteLog("Unerlaubter Eintrag > " + field + " < bei DDE-Werten !");
    }
    field = FormatFixed(value, precision, decimals, locale_);
    return value;
}

void TFo_GrafEinstell::SaveLimits(ItemConfig& item) {
    item.effectiveUpLimit = Number(editOben, 1000.0, 8, 2);
    item.effectiveLoLimit = Number(editUnten, 0.0, 8, 2);
    item.UpWarn = Number(edWarnOben, 1000.0, 8, 2);
    item.LoWarn = Number(edWarnUnten, 1000.0, 8, 2);
    if (item.UpWarn > 0.001 || item.UpWarn < -0.001) {
        item.effectiveWarnung =
            host_.op.Ask("Beim Überschreiten der Warngrenze eine Alarmmeldung anzeigen ?",
                         QuestionButtons::YesNo) == Answer::Yes;
    }
}

void TFo_GrafEinstell::SaveCalibration(ItemConfig& item) {
    if (rgTypItemIndex == 1) {
        editM = "1";
        editT = "0";
    }
    item.calibrationSlope = Number(editM, 1.0, 14, 10);
    if (item.calibrationSlope == 0.0) {
        host_.op.ShowMessage("Achtung : Steigung M=0 !");
    }
    item.calibrationIntercept = Number(editT, 0.0, 14, 10);
    const double threshold = Number(editIntegral, 0.01, 6, 3);
    if (cbIntegral) {
        item.IntegralLimit = threshold;
        item.IntegralBezug = ChosenIntegralBezug();
    }
}

void TFo_GrafEinstell::SaveConversionAndSums(ItemConfig& item) {
    if (!cbUmrechnen) {
        editUmrEinheit = editEinheit;
    }
    ValueConversion& conversion = item.valueConversion;
    conversion.conversionFactor = Number(editUmrFaktor, 1.0, 6, 3);
    conversion.conversionDivisor = Number(editUmrTeiler, 1.0, 6, 3);
    conversion.conversionOn = cbUmrechnen;
    conversion.timeBase = coZeitItemIndex;
    conversion.conversionUnit = editUmrEinheit;
    conversion.varName = editName;
    item.sumDivisor = Number(eSumTeiler, 1.0, 8, 3);
    item.viewerSumDivisor = Number(eCWsumTeiler, 1.0, 8, 3);
    item.sumUnit = eSumEinheit;
    item.viewerSumUnit = eCWsumEinheit;
}

void TFo_GrafEinstell::SaveTimeFrame(ItemConfig& item) {
    TimeFrame& frame = item.timeFrame;
    if (!cbRahmen) {
        frame = TimeFrame{};
        item.Tagesauswahl = 127;
        return;
    }
    const Result<double> start = StrToTime(eT1, locale_);
    const Result<double> end = StrToTime(eT2, locale_);
    if (start && end && start.value() < end.value()) {
        frame = {true, start.value(), end.value()};
    } else {
        eT2 = "23:59:00";
        host_.op.ShowMessage("Eingabefehler im Zeitrahmen !");
        frame = TimeFrame{};
        cbRahmen = false;
    }
    const std::array<bool*, 8> days = DayBoxes();
    item.Tagesauswahl = 0;
    for (int k = 1; k <= 7; ++k) {
        item.Tagesauswahl |= *days[static_cast<std::size_t>(k)] ? 1 << (k - 1) : 0;
    }
}

void TFo_GrafEinstell::SaveMirror(ItemConfig& item, int n) {
    const auto refuse = [&](const char* text) {
        host_.op.ShowMessage(text);
        cbSpiegel = false;
        coSpiegelItemIndex = 0;
    };
    if (cbSpiegel && coSpiegelItemIndex == n) {
        refuse("Wert kann nicht mit sich selbst gespiegelt werden !");
    } else if (cbSpiegel) {
        const int source = coSpiegelItemIndex;
        item.mirror.sourceItem = source;
        if (source == 0) {
            host_.op.ShowMessage(
                "Sie haben keine Quelle für die Spiegelung angegeben.\r\nDie DDE-Erfassung wird "
                "für diesen Parameter abgeschaltet !");
        } else if (source <= config_.Settings().itemCount && config_.Item(source).IsDigital()) {
            refuse("Digitale Werte können nicht gespiegelt werden !");
        }
    }
    item.mirror.mirrorOn = cbSpiegel;
    if (!item.mirror.mirrorOn && editItem == kMirroredItem) {
        host_.op.ShowMessage(
            "Sie haben kein Item für diesen DDE-Wert angegeben.\r\nItem > gespiegelt < ist nicht "
            "erlaubt.");
        item.mirror = {true, 0};
    } else if (item.mirror.mirrorOn) {
        editItem = kMirroredItem;
        rgTypItemIndex = 0;
        const int source = item.mirror.sourceItem;
        if (source >= 1 && source <= config_.Settings().itemCount) {
            editEinheit = config_.Item(source).unit;
        }
    }
}

bool TFo_GrafEinstell::SaveNames(ItemConfig& item) {
    bool bound = true;
    if (editItem != item.serverItem || editName != item.itemName) {
        const Status renamed = targets_.diary.RenameBoundItem(item.serverItem, editItem, editName);
        if (!renamed) {
            TellWriteFailure(config_.PathOf(config_.Settings().permanentMode ? kPermanentBindingFile
                                                                             : kAqasysBindingFile),
                             renamed.error().message);
            bound = false;
        }
    }
    item.unit = editEinheit;
    item.serverItem = editItem;
    item.itemName = editName;
    return bound;
}

void TFo_GrafEinstell::SaveOptions(ItemConfig& item) {
    if (rgTypItemIndex == 1 && (cbDifferenz || cbGleit)) {
        host_.op.ShowMessage(
            "Differenz-Berechnung/gleitender Mittelwert\r\nist für digitale Parameter nicht "
            "möglich !");
        cbDifferenz = false;
        cbGleit = false;
    }
    if (cbIntegral && cbDifferenz) {
        host_.op.ShowMessage(
            "Integral hat Vorrang vor Differenz-Berechnung (Zählerstände) !\r\n"
            "Differenz-Berechnung wird deaktiviert.");
        cbDifferenz = false;
    }
    item.Integral = cbIntegral;
    item.Gleitend = cbGleit;
    item.Differenz = cbDifferenz;
    item.GrafikRef = rgRefItemIndex;
    item.Grafiktyp = rgTypItemIndex + 1;
}

// The second warning condition is read back and written again, so that its three keys stand
// in the file with the values the program now warns with.
bool TFo_GrafEinstell::WriteMainIni(ItemConfig& item, int n) {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    namespace s = schema;
    bool ok = s::Write(ini, s::kWarnung, n, item.effectiveWarnung).ok();
    if (ok && item.effectiveWarnung) {
        item.WarnFlag2 = s::Read(ini, s::kWarnFlag2, n);
        item.WarnComp2 = s::Read(ini, s::kWarnComp2, n);
        const std::string level = s::Read(ini, s::kWarnLevel2, n);
        const Result<double> parsed = StrToFloat(level, locale_);
        item.WarnLevel2 = parsed ? parsed.value() : 0.5;
        ok = s::Write(ini, s::kWarnFlag2, n, item.WarnFlag2).ok() &&
             s::Write(ini, s::kWarnComp2, n, item.WarnComp2).ok() &&
             s::Write(ini, s::kWarnLevel2, n, level).ok();
    }
    const std::pair<const s::ItemKey<s::TextKey>*, const std::string*> texts[] = {
        {&s::kUpWarn, &edWarnOben},
        {&s::kLoWarn, &edWarnUnten},
        {&s::kUpLimit, &editOben},
        {&s::kLoLimit, &editUnten},
        {&s::kEinheiten, &editEinheit},
        {&s::kSummenEinheiten, &eSumEinheit},
        {&s::kSummenTeiler, &eSumTeiler},
        {&s::kGrafikSumEinheit, &eCWsumEinheit},
        {&s::kGrafikSumTeiler, &eCWsumTeiler},
        {&s::kGrafikEinheit, &editUmrEinheit},
        {&s::kItems, &editItem},
        {&s::kItemnames, &editName}};
    for (const auto& [key, text] : texts) {
        ok = ok && s::Write(ini, *key, n, *text).ok();
    }
    ok = ok && s::Write(ini, s::kGrafikRef, n, rgRefItemIndex).ok() &&
         s::Write(ini, s::kGrafiktyp, n, rgTypItemIndex + 1).ok() &&
         s::Write(ini, s::kIntegral, n, cbIntegral).ok() &&
         s::Write(ini, s::kGleitend, n, cbGleit).ok() &&
         s::Write(ini, s::kDifferenz, n, cbDifferenz).ok() &&
         s::Write(ini, s::kTagesauswahl, n, item.Tagesauswahl).ok();
    if (ok && cbIntegral) {
        ok = s::Write(ini, s::kIntegralLimit, n, editIntegral).ok() &&
             s::Write(ini, s::kIntegralBezug, n, ChosenIntegralBezug()).ok();
    }
    const std::string conversion = cbUmrechnen ? "1|" + editName + "|" + editUmrEinheit + "|" +
                                                     editUmrFaktor + "|" + editUmrTeiler + "|" +
                                                     std::to_string(coZeitItemIndex)
                                               : "0";
    const std::string frame = cbRahmen ? "1|" + eT1 + "|" + eT2 : "0";
    const std::string mirror =
        item.mirror.mirrorOn ? "1|" + std::to_string(item.mirror.sourceItem) : "0";
    ok = ok && s::Write(ini, s::kUmrechnung, n, conversion).ok() &&
         s::Write(ini, s::kZeitrahmen, n, frame).ok() &&
         s::Write(ini, s::kSpiegelung, n, mirror).ok();
    if (!ok) {
        TellWriteFailure(ini.path(), "TARVEDDE.INI");
    }
    return ok;
}

bool TFo_GrafEinstell::WriteCalibrationIni(const ItemConfig& item) {
    IniFile eich(host_.files, config_.PathOf(kCalibrationIniFile));
    const bool ok = eich.WriteString(item.itemName, "M", editM).ok() &&
                    eich.WriteString(item.itemName, "D", editD).ok() &&
                    eich.WriteString(item.itemName, "T", editT).ok();
    if (!ok) {
        TellWriteFailure(eich.path(), "EICH.INI");
    }
    return ok;
}

void TFo_GrafEinstell::TellWriteFailure(const std::string& path, const std::string& reason) {
    const std::string text = "Einstellungen konnten nicht in >" + path +
                             "< gespeichert werden ! Sie gelten nur bis zum Programmende.";
    log_.WriteLog(text + " (" + reason + ")");
    host_.op.ShowMessage(text);
}

void TFo_GrafEinstell::btSpeichernClick() {
    if (!HasSelection()) {
        EndEditing();
        host_.op.ShowMessage("Index-Fehler !");
        return;
    }
    if (RefuseBrokenTexts()) {
        return;
    }
    const int n = SelectedItem();
    ItemConfig item = config_.Item(n);
    SaveLimits(item);
    SaveCalibration(item);
    SaveConversionAndSums(item);
    SaveTimeFrame(item);
    SaveMirror(item, n);
    const bool bound = SaveNames(item);
    SaveOptions(item);
    const bool written = WriteMainIni(item, n) && WriteCalibrationIni(item);
    const ItemConfig before = config_.Item(n);
    config_.SetItemSettings(n, item);
    targets_.integrator.ApplyItemSettings(n, config_.Item(n));
    targets_.itemSettings.ItemSettingsChanged(n, before);
    if (static_cast<std::size_t>(n) < coSpiegel.size()) {
        lbDDE[static_cast<std::size_t>(n - 1)] = item.itemName;
        coSpiegel[static_cast<std::size_t>(n)] = item.itemName;
    }
    if (bound && written) {
        EndEditing();
    }
    LoadItem(n);
}

}  // namespace tarvedde
