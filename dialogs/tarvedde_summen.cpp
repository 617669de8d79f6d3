#include "dialogs/tarvedde_summen.h"

#include <algorithm>

#include "platform/number_format.h"

namespace tarvedde {

TFo_Summen::TFo_Summen(const Configuration& config, Host& host, const Locale& locale,
                       SampleIntegrator& integrator, const FifteenMinuteWindows& fifteenMinute,
                       MovingAverageRings& moving)
    : config_(config),
      host_(host),
      locale_(locale),
      integrator_(integrator),
      fifteenMinute_(fifteenMinute),
      moving_(moving) {
    timer1_ = host_.loop.CreateTimer("Timer1", 1000, [this] { Timer1Timer(); });
}

std::string TFo_Summen::Number(double value) const {
    return FormatFixed(value, config_.Settings().formatPrecision, config_.Settings().formatDecimals,
                       locale_);
}

void TFo_Summen::FormShow() {
    selectedItem_ = 0;
    lbNames.clear();
    listToItem_.clear();
    lbNamesItemIndex = -1;
    // Places beyond the item count hold defaults (fifteen-minute values on), no items.
    const int count = std::min(config_.Settings().itemCount, maxItems);
    for (int n = 1; n <= count; ++n) {
        const ItemConfig& item = config_.Items()[static_cast<std::size_t>(n)];
        if (item.Integral || item.Gleitend || item.M15_berechnen) {
            lbNames.push_back(item.itemName + " [" + item.unit + "]");
            listToItem_.push_back(n);
        }
    }
    timer1_->SetEnabled(true);
    if (!lbNames.empty()) {
        lbNamesItemIndex = 0;
        lbNamesClick(0);
    }
}

void TFo_Summen::lbNamesClick(int index) {
    if (index < 0 || index >= static_cast<int>(listToItem_.size())) {
        return;
    }
    lbNamesItemIndex = index;
    selectedItem_ = listToItem_[static_cast<std::size_t>(index)];
}

void TFo_Summen::Timer1Timer() {
    timer1_->SetEnabled(false);
    if (selectedItem_ > 0) {
        const auto n = static_cast<std::size_t>(selectedItem_);
        const ItemConfig& item = config_.Items()[n];
        const double divisor = item.sumDivisor != 0.0 ? item.sumDivisor : 1.0;
        lbSum = Number(integrator_.States()[n].runningSum / divisor) + "  [" + item.sumUnit + "]";
        if (item.Gleitend) {
            ShowMovingValues(selectedItem_);
        } else if (item.M15_berechnen) {
            ShowFifteenMinuteValues(selectedItem_);
        } else {
            lbMit.clear();
            lbMin.clear();
            lbMax.clear();
            lbInd.clear();
        }
    }
    timer1_->SetEnabled(true);
    if (onChanged) {
        onChanged();
    }
}

void TFo_Summen::ShowMovingValues(int item) {
    const MovingAverageState& moving = moving_.States()[item];
    lbMittel = "Gleit.Mittelwert";
    lbMinimum = "Gleit. Minimum";
    lbMaximum = "Gleit. Maximum";
    BitBtn1Enabled = true;
    lbMit = Number(moving.movingAverage);
    lbMin = moving.movingMinimum >= 999999.0 ? "n.v." : Number(moving.movingMinimum);
    lbMax = moving.movingMaximum < -999999.0 ? "n.v." : Number(moving.movingMaximum);
    lbInd = std::to_string(moving.ringIndex);
}

void TFo_Summen::ShowFifteenMinuteValues(int item) {
    const FifteenMinuteState& m15 = fifteenMinute_.States()[item];
    lbMittel.clear();
    lbMit.clear();
    BitBtn1Enabled = false;
    lbMinimum = "15-Min. Minimum";
    lbMaximum = "15-Min. Maximum";
    lbMin = m15.m15Minimum >= 999999.0 ? "n.a." : Number(m15.m15Minimum);
    lbMax = m15.m15Maximum < -999999.0 ? "n.a." : Number(m15.m15Maximum);
    lbInd = std::to_string(m15.m15Index);
}

void TFo_Summen::Button1Click() {
    if (selectedItem_ > 0) {
        integrator_.ResetSum(selectedItem_);
    }
}

// Invalid texts are refused with the conversion's own message, so the operator sees why.
void TFo_Summen::BitBtn1Click() {
    if (selectedItem_ <= 0) {
        return;
    }
    const auto minimum = StrToFloat(Edit1, locale_);
    const auto maximum = StrToFloat(Edit2, locale_);
    if (!minimum || !maximum) {
        host_.op.ShowMessage(!minimum ? minimum.error().message : maximum.error().message);
        return;
    }
    moving_.SetMovingExtremes(selectedItem_, minimum.value(), maximum.value());
}

void TFo_Summen::FormClose() {
    timer1_->SetEnabled(false);
}

}  // namespace tarvedde
