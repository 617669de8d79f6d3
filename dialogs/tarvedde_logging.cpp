#include "dialogs/tarvedde_logging.h"

#include <algorithm>
#include <type_traits>

#include "outputs/log_settings.h"
#include "platform/ini_file.h"

namespace tarvedde {

static_assert(std::tuple_size_v<ItemLogFlagsArray> == maxItems + 1,
              "the engine's flags and the state file must share one layout");

namespace {

std::size_t At(int item) {
    return static_cast<std::size_t>(item);
}

}  // namespace

int TFo_Logging::ItemCount() const {
    return std::clamp(config_.Settings().itemCount, 0, maxItems);
}

int TFo_Logging::SelectedItem() const {
    const int item = lbDDEItemIndex + 1;
    return item >= 1 && item <= ItemCount() ? item : 0;
}

void TFo_Logging::ShowLogSettings() {
    const LogSettings& s = log_.Settings();
    cbDetailLog = s.detailLog;
    cbDebugLog = s.debugLog;
    SpinEdit1 = s.logLevel;
    cbTabelLog = s.tabelLog;
}

void TFo_Logging::FormShow() {
    visible = true;
    std::copy_n(config_.LogFlags().begin() + 1, ItemCount(), working_.begin() + 1);
    lbDDEItems = config_.DialogLists().itemNames;
    if (lbDDEItemIndex >= static_cast<int>(lbDDEItems.size())) {
        lbDDEItemIndex = -1;
    }
    ignoreClicks_ = true;
    LoadLogSettings(IniFile(host_.files, config_.PathOf(kMainIniFile)), log_);
    ShowLogSettings();
}

void TFo_Logging::lbDDEClick() {
    const int item = SelectedItem();
    if (item == 0) {
        return;
    }
    ignoreClicks_ = true;
    cbEinzel = false;
    cbGleitLog = false;
    cbSumLog = false;
    if (config_.Items()[At(item)].mirror.mirrorOn) {
        // The clicks stay ignored: nothing of a mirrored item is exported on its own.
        Label1Visible = true;
        cbGleitLogEnabled = false;
        cbSumLogEnabled = false;
        lbSumVisible = false;
        return;
    }
    ShowItem(item);
    ignoreClicks_ = false;
}

void TFo_Logging::ShowItem(int item) {
    const ItemConfig& config = config_.Items()[At(item)];
    const ItemLogFlags& flags = working_[At(item)];
    Label1Visible = false;
    cbEinzel = flags.logSingleValues;
    cbGleitLogEnabled = config.Gleitend;
    cbGleitLog = config.Gleitend && flags.logMovingAverage;
    if (config.Differenz || config.Integral) {
        // The sum export carries every received value already, beside the sum.
        cbSumLogEnabled = true;
        cbSumLog = flags.logIntegral || flags.logCounterDifference;
        cbEinzelEnabled = false;
        cbEinzel = false;
    } else {
        cbEinzelEnabled = true;
        cbSumLogEnabled = false;
    }
    lbSumVisible = cbSumLog;
    if (cbSumLog) {
        ShowSumLabel(config.Differenz);
    }
}

void TFo_Logging::ShowSumLabel(bool counter) {
    lbSum = counter ? "(Zählerdifferenz)" : "(Integral)";
}

void TFo_Logging::cbEinzelClick() {
    const int item = SelectedItem();
    if (ignoreClicks_ || item == 0) {
        return;
    }
    working_[At(item)].logSingleValues = cbEinzel;
}

void TFo_Logging::cbGleitLogClick() {
    const int item = SelectedItem();
    if (ignoreClicks_ || item == 0) {
        return;
    }
    working_[At(item)].logMovingAverage = cbGleitLog;
}

void TFo_Logging::cbSumLogClick() {
    const int item = SelectedItem();
    if (ignoreClicks_ || item == 0) {
        return;
    }
    ItemLogFlags& flags = working_[At(item)];
    lbSumVisible = cbSumLog;
    if (!cbSumLog) {
        flags.logIntegral = false;
        flags.logCounterDifference = false;
        return;
    }
    const bool counter = config_.Items()[At(item)].Differenz;
    ShowSumLabel(counter);
    (counter ? flags.logCounterDifference : flags.logIntegral) = true;
}

void TFo_Logging::BitBtn1Click() {
    cbEinzel = false;
    cbGleitLog = false;
    cbSumLog = false;
    lbSumVisible = false;
    working_.fill(ItemLogFlags{});
    log_.WriteLog("Logging für alle abgeschaltet.");
}

void TFo_Logging::Button1Click() {
    SpinEdit1 = std::clamp(SpinEdit1, 0, kMaxLogLevel);
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    SaveLogSettings(ini, log_, SpinEdit1, cbTabelLog);
    ShowLogSettings();
    FormClose();
}

void TFo_Logging::FormClose() {
    if (!visible) {
        return;
    }
    visible = false;
    const int count = ItemCount();
    config_.SetLogFlags(working_, count);
    for (int item = 1; item <= count; ++item) {
        if (config_.LogFlags()[At(item)].Any()) {
            log_.WriteLog(config_.Items()[At(item)].itemName + " : Logging eingeschaltet.");
        }
    }
    log_.Settings().tabelLog = cbTabelLog;
}

}  // namespace tarvedde
