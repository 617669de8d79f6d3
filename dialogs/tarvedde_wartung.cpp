#include "dialogs/tarvedde_wartung.h"

#include <algorithm>

#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr int kMinuteMs = 60000;

}  // namespace

TFo_Wartung::TFo_Wartung(Configuration& config, ValueProcessor& processor, Host& host,
                         ProgramLog& log, const Locale& locale)
    : config_(config),
      processor_(processor),
      host_(host),
      log_(log),
      locale_(locale),
      timerWartung_(host.loop.CreateTimer("Timer_Wartung", 30 * kMinuteMs,
                                          [this] { Timer_WartungTimer(); })) {}

void TFo_Wartung::FormShow() {
    lbDDE = config_.DialogLists().itemNames;
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        workingFlags_[n] = config_.Item(n).maintenanceOn;
    }
    lbDDEItemIndex = 0;
    lbDDEClick();
}

void TFo_Wartung::lbDDEClick() {
    if (HasSelection()) {
        LoadItem(SelectedItem());
    }
}

void TFo_Wartung::LoadItem(int n) {
    loading_ = true;
    cbWartung = false;
    const ItemConfig& item = config_.Item(n);
    gespiegeltVisible = item.mirror.mirrorOn;
    // A mirrored item follows its source; it has no maintenance of its own.
    cbWartungEnabled = !item.mirror.mirrorOn;
    // Its own extremes also for a mirrored item: the fields must never carry the previous
    // item's into this one.
    const ItemStatistics& day = processor_.Values().statistics[n];
    eMin = FormatFixed(day.minimum, 12, 2, locale_);
    eMax = FormatFixed(day.maximum, 12, 2, locale_);
    if (!item.mirror.mirrorOn) {
        cbWartung = workingFlags_[n];
        ShowLiveFlag();
    }
    loading_ = false;
}

void TFo_Wartung::ShowLiveFlag() {
    const bool on = HasSelection() && config_.Item(SelectedItem()).maintenanceOn;
    cbWartungCaption = on ? "Wartung ist eingeschaltet" : "Wartung einschalten";
}

void TFo_Wartung::cbWartungClick() {
    if (!loading_ && HasSelection()) {
        workingFlags_[SelectedItem()] = cbWartung;
    }
}

void TFo_Wartung::btSpeichernClick() {
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        config_.SetMaintenance(n, workingFlags_[n]);
        if (workingFlags_[n]) {
            log_.WriteLog(config_.Item(n).itemName + " : Wartung eingeschaltet.");
            timerWartung_->SetEnabled(true);
        }
    }
    ShowLiveFlag();
}

void TFo_Wartung::T_WartungChange() {
    T_Wartung = std::clamp(T_Wartung, 1, 60);
    timerWartung_->SetEnabled(false);
    timerWartung_->SetInterval(T_Wartung * kMinuteMs);
    timerWartung_->SetEnabled(true);
}

void TFo_Wartung::bt_AbschaltenClick() {
    timerWartung_->SetEnabled(false);
    cbWartung = false;
    cbWartungCaption = "Wartung einschalten";
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        workingFlags_[n] = false;
        config_.SetMaintenance(n, false);
    }
    log_.WriteLog("Wartung für alle abgeschaltet.");
}

void TFo_Wartung::Timer_WartungTimer() {
    bt_AbschaltenClick();
    btSpeichernClick();
    if (onChanged) {
        onChanged();
    }
}

// Operators type either "." or ","; anything else is told, not ignored.
Result<double> TFo_Wartung::Typed(const std::string& text) {
    Result<double> value = StrToFloat(NormalizeDecimal(text, locale_), locale_);
    if (!value) {
        host_.op.ShowMessage("Ungültige Zahl > " + text + " < !");
    }
    return value;
}

void TFo_Wartung::btMinClick() {
    if (!HasSelection()) {
        return;
    }
    const Result<double> minimum = Typed(eMin);
    if (!minimum) {
        return;
    }
    const int n = SelectedItem();
    processor_.SetDayMinimum(n, minimum.value());
    log_.WriteLog("Minimum für " + config_.Item(n).itemName + " auf " + eMin + " gesetzt.");
}

void TFo_Wartung::btMaxClick() {
    if (!HasSelection()) {
        return;
    }
    const Result<double> maximum = Typed(eMax);
    if (!maximum) {
        return;
    }
    const int n = SelectedItem();
    processor_.SetDayMaximum(n, maximum.value());
    log_.WriteLog("Maximum für " + config_.Item(n).itemName + " auf " + eMax + " gesetzt.");
}

}  // namespace tarvedde
