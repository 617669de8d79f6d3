#include "dialogs/tarvedde_zaehler.h"

#include "engine/model/program_files.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

std::string CounterSection(int n) {
    return "Item_" + std::to_string(n);
}

bool WriteCounterKeys(IniFile& var, int n, const ItemConfig& item, const Locale& locale) {
    const std::string section = CounterSection(n);
    return var.WriteString(section, "Zählerstand", FormatFixed(item.counterReading, 14, 3, locale))
               .ok() &&
           var.WriteBool(section, "Fortlaufend_summieren", item.Fortlaufend_summieren).ok() &&
           var.WriteBool(section, "Tagesmengen_protokollieren", item.Tagesmengen_protokollieren)
               .ok();
}

}  // namespace

std::string TFo_Zaehler::Reading(double value) const {
    return FormatFixed(value, 14, 2, locale_);
}

void TFo_Zaehler::FormShow() {
    lbDDE = config_.DialogLists().itemNames;
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        workingReadings_[n] = config_.Item(n).counterReading;
    }
    readingsSet_ = {};
    lbDDEItemIndex = 0;
    lbDDEClick();
}

void TFo_Zaehler::lbDDEClick() {
    if (HasSelection()) {
        LoadItem(SelectedItem());
    }
}

void TFo_Zaehler::LoadItem(int n) {
    const ItemConfig& item = config_.Item(n);
    const ItemStatistics& day = processor_.Values().statistics[n];
    eMin = FormatFixed(day.minimum, 12, 2, locale_);
    eMax = FormatFixed(day.maximum, 12, 2, locale_);
    gespiegeltVisible = item.mirror.mirrorOn;
    tsZaehlerEnabled = !item.mirror.mirrorOn;
    lbEinheit = item.unit == "l/s" ? "Liter" : item.unit;
    cbSum = item.Fortlaufend_summieren;
    cbTag = item.Tagesmengen_protokollieren;
    eBasis = Reading(item.counterReading);
    eNeu = Reading(workingReadings_[n]);
    const IniFile var(host_.files, config_.PathOf(kCounterIniFile));
    eAktuell = var.ReadString(CounterSection(n), "Tageszähler", "?");
    // The day counter is "?" until the first cycle has written it; no sum can be shown then.
    const Result<double> dayCounter = StrToFloat(eAktuell, locale_);
    const Result<double> base = StrToFloat(eBasis, locale_);
    eGesamt = dayCounter && base ? Reading(base.value() + dayCounter.value()) : eAktuell;
}

// Operators type either "." or ","; anything else is told, not ignored.
void TFo_Zaehler::btSetzenClick() {
    if (!HasSelection()) {
        return;
    }
    const Result<double> reading = StrToFloat(NormalizeDecimal(eNeu, locale_), locale_);
    if (!reading) {
        host_.op.ShowMessage("Ungültige Zahl > " + eNeu + " < !");
        return;
    }
    workingReadings_[SelectedItem()] = reading.value();
    readingsSet_[SelectedItem()] = true;
    eNeu = Reading(reading.value());
    eBasis = eNeu;
}

void TFo_Zaehler::btSpeichernClick() {
    if (!HasSelection()) {
        return;
    }
    const int n = SelectedItem();
    if (readingsSet_[n]) {
        config_.SetCounterReading(n, workingReadings_[n], /*saved=*/false);
        readingsSet_[n] = false;
    }
    config_.SetCounterFlags(n, cbSum, cbTag);
    // Written at once: the dialog may stand open for hours beside the running client, and
    // a kill meanwhile must not lose what the operator took over. Unsaved, the close
    // tries again and a reload of the settings keeps it.
    IniFile var(host_.files, config_.PathOf(kCounterIniFile));
    if (WriteCounterKeys(var, n, config_.Item(n), locale_)) {
        config_.SetCounterReading(n, config_.Item(n).counterReading);
    }
}

// An item without a value today holds only the reset marks; taken over, the other
// extreme would stand at the mark for the rest of the day.
bool TFo_Zaehler::MinimumToMaximum(int n) {
    const double maximum = processor_.Values().statistics[n].maximum;
    if (maximum <= kMaximumReset) {
        return false;
    }
    processor_.SetDayMinimum(n, maximum);
    return true;
}

bool TFo_Zaehler::MaximumToMinimum(int n) {
    const double minimum = processor_.Values().statistics[n].minimum;
    if (minimum >= kMinimumReset) {
        return false;
    }
    processor_.SetDayMaximum(n, minimum);
    return true;
}

void TFo_Zaehler::btMinClick() {
    if (!HasSelection()) {
        return;
    }
    const int n = SelectedItem();
    if (MinimumToMaximum(n)) {
        log_.WriteLog("Minimum für " + config_.Item(n).itemName + " auf " + eMax + " gesetzt.");
    }
    LoadItem(n);
}

void TFo_Zaehler::btMaxClick() {
    if (!HasSelection()) {
        return;
    }
    const int n = SelectedItem();
    if (MaximumToMinimum(n)) {
        log_.WriteLog("Maximum für " + config_.Item(n).itemName + " auf " + eMin + " gesetzt.");
    }
    LoadItem(n);
}

void TFo_Zaehler::Button1Click() {
    if (host_.op.Ask("Alle Minima auf aktuelles Maximum zurücksetzen ?", QuestionButtons::YesNo) !=
        Answer::Yes) {
        return;
    }
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        (void)MinimumToMaximum(n);
    }
    lbDDEClick();
}

void TFo_Zaehler::Button2Click() {
    if (host_.op.Ask("Alle Maxima auf aktuelles Minimum zurücksetzen ?", QuestionButtons::YesNo) !=
        Answer::Yes) {
        return;
    }
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        (void)MaximumToMinimum(n);
    }
    lbDDEClick();
}

void TFo_Zaehler::FormClose() {
    IniFile var(host_.files, config_.PathOf(kCounterIniFile));
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        const ItemConfig& item = config_.Item(n);
        if (!WriteCounterKeys(var, n, item, locale_)) {
            host_.op.ShowMessage("Zählerstände konnten nicht in >" + var.path() +
                                 "< gespeichert werden !");
            return;
        }
        config_.SetCounterReading(n, item.counterReading);
    }
}

}  // namespace tarvedde
