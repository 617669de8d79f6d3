// The item settings dialog: showing, loading an item, the change protocol, the check-box
// handlers and the time table button. The save is in tarvedde_graf_einstell_save.cpp.
#include <algorithm>
#include <cctype>

#include "dialogs/tarvedde_graf_einstell.h"
#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::array<bool*, 8> TFo_GrafEinstell::DayBoxes() {
    return {nullptr, &cd1, &cd2, &cd3, &cd4, &cd5, &cd6, &cd7};
}

void TFo_GrafEinstell::FormShow() {
    Caption = std::string("  ") + SourceKindName(config_.Settings().sourceKind) +
              "-Werte von VIDURA Rovuvadoz";
    loading_ = true;
    modified_ = false;
    lbDDE = config_.DialogLists().itemNames;
    coSpiegel.assign({" "});
    coSpiegel.insert(coSpiegel.end(), lbDDE.begin(), lbDDE.end());
    if (!lbDDE.empty()) {
        lbDDEItemIndex = 0;
        LoadItem(1);
    }
    loading_ = false;
}

void TFo_GrafEinstell::lbDDEClick() {
    if (HasSelection()) {
        LoadItem(SelectedItem());
    }
}

void TFo_GrafEinstell::LoadItem(int n) {
    const ItemConfig& item = config_.Item(n);
    targets_.timeTable.item = n;
    loading_ = true;
    edWarnOben = FormatFixed(item.UpWarn, 8, 2, locale_);
    edWarnUnten = FormatFixed(item.LoWarn, 8, 2, locale_);
    editName = item.itemName;
    editItem = item.serverItem;
    editItemHint = item.serverItem;
    editOben = FormatFixed(item.effectiveUpLimit, 8, 2, locale_);
    editUnten = FormatFixed(item.effectiveLoLimit, 8, 2, locale_);
    editEinheit = item.unit;
    editM = FormatFixed(item.calibrationSlope, 14, 10, locale_);
    editT = FormatFixed(item.calibrationIntercept, 14, 10, locale_);
    editD = "1";
    cbSpiegel = item.mirror.mirrorOn;
    coSpiegelItemIndex = item.mirror.mirrorOn ? item.mirror.sourceItem : 0;
    LoadOptions(item);
    LoadTimeFrame(item);
    cbGleit = item.Gleitend;
    cbDifferenz = item.Differenz;
    const auto row = static_cast<std::size_t>(n - 1);
    gbDDECaption = " " + (row < lbDDE.size() ? lbDDE[row] : item.itemName) + " ";
    rgTypItemIndex = item.Grafiktyp - 1;
    rgRefItemIndex = item.GrafikRef;
    loading_ = false;
}

void TFo_GrafEinstell::LoadOptions(const ItemConfig& item) {
    cbIntegral = item.Integral;
    editIntegralEnabled = coIntegralEnabled = item.Integral;
    // A time base the list does not offer (1000 turns l/s into m³) shows as its first entry
    // and is kept unless the operator picks an entry: saved as shown, every volume would
    // count a thousand times.
    const auto entry = std::ranges::find(kIntegralBezugList, item.IntegralBezug);
    const bool listed = entry != kIntegralBezugList.end();
    keptIntegralBezug_ = item.Integral && !listed ? item.IntegralBezug : 0;
    if (item.Integral) {
        editIntegral = FormatFixed(item.IntegralLimit, 6, 3, locale_);
        coIntegralItemIndex = listed ? static_cast<int>(entry - kIntegralBezugList.begin()) : 0;
    } else {
        lbSumEinheit.clear();
    }
    eSumTeiler = FormatFixed(item.sumDivisor, 8, 3, locale_);
    eSumEinheit = item.sumUnit;
    eCWsumTeiler = FormatFixed(item.viewerSumDivisor, 8, 3, locale_);
    eCWsumEinheit = item.viewerSumUnit;
    const ValueConversion& conversion = item.valueConversion;
    cbUmrechnen = umrechnenEnabled = conversion.conversionOn;
    if (conversion.conversionOn) {
        editUmrEinheit = conversion.conversionUnit;
        editUmrFaktor = FormatFixed(conversion.conversionFactor, 6, 3, locale_);
        editUmrTeiler = FormatFixed(conversion.conversionDivisor, 6, 3, locale_);
        coZeitItemIndex = conversion.timeBase;
    } else {
        editUmrEinheit = editEinheit;
        editUmrFaktor = "1";
        editUmrTeiler = "1";
        coZeitItemIndex = 0;
    }
}

void TFo_GrafEinstell::LoadTimeFrame(const ItemConfig& item) {
    const TimeFrame& frame = item.timeFrame;
    cbRahmen = frame.on;
    // The times stay editable with the frame: a normal item's frame is typed in.
    btTabelleEnabled = grDaysEnabled = eT1Enabled = eT2Enabled = frame.on;
    eT1 = frame.on ? FormatDateTime("hh:nn:ss", frame.frameStart, locale_) : "00:00:00";
    eT2 = frame.on ? FormatDateTime("hh:nn:ss", frame.frameEnd, locale_) : "00:00:00";
    const std::array<bool*, 8> days = DayBoxes();
    for (int k = 1; k <= 7; ++k) {
        *days[static_cast<std::size_t>(k)] = !frame.on || (item.Tagesauswahl & (1 << (k - 1)));
    }
}

void TFo_GrafEinstell::Change(bool calibrationEdit) {
    if (loading_) {
        return;
    }
    if (calibrationEdit && config_.Settings().varIniScaling) {
        host_.op.ShowMessage(
            "Einstellung nur über MinForUser..MaxForSPS in der TARVEDDE.INI bzw. VAR.INI !");
        btAbbrechenClick();
        return;
    }
    btBackEnabled = false;
    lbDDEEnabled = false;
    panelSpeichernVisible = true;
    modified_ = true;
}

void TFo_GrafEinstell::EndEditing() {
    modified_ = false;
    panelSpeichernVisible = false;
    lbDDEEnabled = true;
    btBackEnabled = true;
}

void TFo_GrafEinstell::cbIntegralClick() {
    ControlChange();
    editIntegralEnabled = coIntegralEnabled = cbIntegral;
    if (!cbIntegral) {
        return;
    }
    const std::size_t slash = editEinheit.find('/');
    lbSumEinheit = editEinheit.substr(0, slash);
    const std::string per =
        slash == std::string::npos ? std::string() : Upper(editEinheit.substr(slash + 1, 5));
    coIntegralItemIndex = 0;
    if (per.find("MIN") != std::string::npos) {
        coIntegralItemIndex = 1;
    }
    if (per.find("ST") != std::string::npos || per == "H") {
        coIntegralItemIndex = 2;
    }
}

void TFo_GrafEinstell::coIntegralChange() {
    keptIntegralBezug_ = 0;
    ControlChange();
    static constexpr const char* kUnits[] = {"Sek.", "Min.", "Std."};
    if (rgTypItemIndex == 1 && cbIntegral && coIntegralItemIndex >= 0 && coIntegralItemIndex <= 2) {
        eSumEinheit = editEinheit = eCWsumEinheit =
            kUnits[static_cast<std::size_t>(coIntegralItemIndex)];
    }
}

void TFo_GrafEinstell::cbRahmenClick() {
    ControlChange();
    btTabelleEnabled = grDaysEnabled = eT1Enabled = eT2Enabled = cbRahmen;
}

void TFo_GrafEinstell::cbSpiegelClick() {
    ControlChange();
    cbGleitEnabled = !cbSpiegel;
    if (cbSpiegel) {
        cbGleit = false;
    }
}

void TFo_GrafEinstell::cbUmrechnenClick() {
    ControlChange();
    umrechnenEnabled = cbUmrechnen;
    if (!cbUmrechnen) {
        editUmrFaktor = "1";
        editUmrTeiler = "1";
        editUmrEinheit.clear();
        coZeitItemIndex = 0;
    }
}

void TFo_GrafEinstell::btAbbrechenClick() {
    EndEditing();
    if (HasSelection()) {
        LoadItem(SelectedItem());
    }
}

void TFo_GrafEinstell::btTabelleClick() {
    if (!HasSelection()) {
        return;
    }
    const int n = SelectedItem();
    targets_.timeTable.item = n;
    targets_.modalTimeTable.Run(targets_.timeTable);
    const TimeTable& table = targets_.timeFrames.Table(n);
    if (table.entryCount <= 1) {
        eT1 = eT2 = FormatDateTime("hh:nn:ss", 0.0, locale_);
        return;
    }
    const bool mirrored = config_.Item(n).mirror.mirrorOn;
    lbT1 = mirrored ? "ab" : "um";
    if (!mirrored && table.entryCount > 2) {
        host_.op.ShowMessage(
            "Achtung : Bei ungespiegelten Items werden nur \r\nder erste und letzte "
            "Zeiteintrag berücksichtigt !");
    }
    eT1 = FormatDateTime("hh:nn:ss", table.times[1], locale_);
    eT2 = FormatDateTime("hh:nn:ss", table.times[static_cast<std::size_t>(table.entryCount)],
                         locale_);
}

void TFo_GrafEinstell::FormClose() {
    config_.RecountViewerItems();
}

}  // namespace tarvedde
