#include "dialogs/tarvedde_kalibrierung.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "engine/processing/per_value_processing.h"
#include "engine/processing/value_steps.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"

namespace tarvedde {

TFo_Kalibrierung::TFo_Kalibrierung(Configuration& config, const PerItem<ItemSource>& sources,
                                   SampleIntegrator& integrator, ItemSettingsChange& changes,
                                   Host& host, const Locale& locale)
    : config_(config),
      sources_(sources),
      integrator_(integrator),
      changes_(changes),
      host_(host),
      locale_(locale),
      timer1_(host.loop.CreateTimer("Timer1", 1000, [this] { Timer1Timer(); })) {}

void TFo_Kalibrierung::FormShow() {
    lbNames.clear();
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        const ItemConfig& item = config_.Item(n);
        lbNames.push_back(item.itemName + " [" + item.unit + "]" + " << " + item.serverItem);
        // A linked digital item is calibrated with 1 and 0; its constants are the file's.
        working_[n] = {item.fileCalibrationSlope,
                       item.fileCalibrationIntercept,
                       item.MinForUser,
                       item.MaxForUser,
                       item.MinForSPS,
                       item.MaxForSPS};
        shown_[n] = working_[n];
    }
    timer1_->SetEnabled(true);
    lbNamesItemIndex = 0;
    lbNamesClick();
}

void TFo_Kalibrierung::lbNamesClick() {
    if (HasSelection()) {
        LoadItem(SelectedItem());
    }
}

void TFo_Kalibrierung::LoadItem(int n) {
    const ItemCalibration& c = working_[n];
    lbName = config_.Item(n).itemName;
    eMinforUser = FormatGeneral(c.MinForUser, locale_);
    eMaxforUser = FormatGeneral(c.MaxForUser, locale_);
    e_minforsps = c.MinForSPS;
    e_maxforsps = c.MaxForSPS;
    lb_M = FormatFixed(c.slope, 14, 8, locale_);
    lb_T = FormatFixed(c.intercept, 14, 2, locale_);
}

void TFo_Kalibrierung::Timer1Timer() {
    if (!HasSelection()) {
        return;
    }
    timer1_->SetEnabled(false);
    const int n = SelectedItem();
    const GeneralSettings& settings = config_.Settings();
    const ItemConfig& item = config_.Item(n);
    const double raw = ParseValueText(
        CleanValueText(sources_[n].newestText, settings.valuePrefix, settings.valueSuffix),
        locale_);
    const ItemCalibration& c = working_[n];
    lbAkt = FormatFixed(raw * c.slope + c.intercept, settings.formatPrecision,
                        settings.formatDecimals, locale_);
    lbSum = FormatFixed(integrator_.States()[n].runningSum / item.sumDivisor,
                        settings.formatPrecision, settings.formatDecimals, locale_) +
            "  [" + item.sumUnit + "]";
    timer1_->SetEnabled(true);
    if (onChanged) {
        onChanged();
    }
}

void TFo_Kalibrierung::setMinMaxClick() {
    const Result<double> minUser = StrToFloat(NormalizeDecimal(eMinforUser, locale_), locale_);
    const Result<double> maxUser = StrToFloat(NormalizeDecimal(eMaxforUser, locale_), locale_);
    const int minSps = std::clamp(e_minforsps, -99999, 65536);
    const int maxSps = std::clamp(e_maxforsps, 0, 65535);
    const double slope = minUser && maxUser
                             ? (maxUser.value() - minUser.value()) / (maxSps - minSps)
                             : std::numeric_limits<double>::quiet_NaN();
    if (!HasSelection() || !std::isfinite(slope)) {
        host_.op.ShowMessage("Fehler bei Einstellung von Min/MaxforUser !");
        return;
    }
    ItemCalibration& c = working_[SelectedItem()];
    c.MinForUser = minUser.value();
    c.MaxForUser = maxUser.value();
    c.slope = slope;
    c.intercept = c.MinForUser - minSps * slope;
    c.MinForSPS = minSps;
    c.MaxForSPS = maxSps;
    lb_M = FormatFixed(c.slope, 14, 8, locale_);
}

// Items the operator left alone keep their keys: written for every item, the zeros of an
// item never scaled would override VAR.INI's scaling once that is switched on. EICH.INI
// gets the constants too, or the calibration would last only until the next start.
void TFo_Kalibrierung::bt_SichernClick() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    IniFile eich(host_.files, config_.PathOf(kCalibrationIniFile));
    bool written = true;
    bool eichWritten = true;
    bool changed = false;
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        const ItemCalibration& c = working_[n];
        if (c == shown_[n]) {
            continue;
        }
        changed = true;
        config_.SetCalibration(n, c);
        // The integral and the counter difference scale their samples themselves.
        integrator_.ApplyItemSettings(n, config_.Item(n));
        shown_[n] = c;
        written =
            written &&
            schema::Write(ini, schema::kMinForUser, n, FormatGeneral(c.MinForUser, locale_)).ok() &&
            schema::Write(ini, schema::kMaxForUser, n, FormatGeneral(c.MaxForUser, locale_)).ok() &&
            schema::Write(ini, schema::kMinForSPS, n, c.MinForSPS).ok() &&
            schema::Write(ini, schema::kMaxForSPS, n, c.MaxForSPS).ok();
        const std::string& name = config_.Item(n).itemName;
        eichWritten = eichWritten &&
                      eich.WriteString(name, "M", FormatFixed(c.slope, 14, 10, locale_)).ok() &&
                      eich.WriteString(name, "T", FormatFixed(c.intercept, 14, 10, locale_)).ok();
    }
    if (changed) {
        changes_.CalibrationChanged();
    }
    for (const auto& [ok, file] : {std::pair{written, &ini}, std::pair{eichWritten, &eich}}) {
        if (!ok) {
            host_.op.ShowMessage("Kalibrierung konnte nicht in >" + file->path() +
                                 "< gespeichert werden !");
        }
    }
}

void TFo_Kalibrierung::FormClose() {
    timer1_->SetEnabled(false);
}

}  // namespace tarvedde
