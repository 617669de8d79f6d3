// The sums window ("Summen der Messwerte"): the running sum and the moving or
// fifteen-minute extremes of one chosen item, refreshed every second while shown.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/acquisition/sample_integrator.h"
#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/statistics/fifteen_minute_values.h"
#include "engine/statistics/moving_averages.h"
#include "platform/locale.h"

namespace tarvedde {

class TFo_Summen {
public:
    // The sum reset goes to the item's integral; the extremes to its moving average.
    TFo_Summen(const Configuration& config, Host& host, const Locale& locale,
               SampleIntegrator& integrator, const FifteenMinuteWindows& fifteenMinute,
               MovingAverageRings& moving);

    void FormShow();
    void lbNamesClick(int index);
    void Timer1Timer();
    void Button1Click();  // "Summe zurücksetzen"
    void BitBtn1Click();  // "Min./Max. setzen"
    void FormClose();

    std::vector<std::string> lbNames;
    int lbNamesItemIndex = -1;
    std::string lbSumme = "Summe";
    std::string lbMittel = "Gleit.Mittelwert";
    std::string lbMinimum = "Gleit. Minimum";
    std::string lbMaximum = "Gleit. Maximum";
    std::string lbPufferIndex = "Index";
    std::string lbSum;
    std::string lbMit;
    std::string lbMin;
    std::string lbMax;
    std::string lbInd;
    bool BitBtn1Enabled = true;
    std::string Edit1 = "99999";
    std::string Edit2 = "-99999";

    // Called after every tick, so a view repaints with the new values.
    std::function<void()> onChanged;

    int SelectedItem() const { return selectedItem_; }
    const Timer& Timer1() const { return *timer1_; }

private:
    std::string Number(double value) const;
    void ShowMovingValues(int item);
    void ShowFifteenMinuteValues(int item);

    const Configuration& config_;
    Host& host_;
    const Locale& locale_;
    SampleIntegrator& integrator_;
    const FifteenMinuteWindows& fifteenMinute_;
    MovingAverageRings& moving_;
    std::unique_ptr<Timer> timer1_;
    std::vector<int> listToItem_;
    int selectedItem_ = 0;
};

}  // namespace tarvedde
