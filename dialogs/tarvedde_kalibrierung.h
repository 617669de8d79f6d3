// The calibration dialog (" Kalibrierung"): slope and offset of an item from two reference
// points (engineering value over raw controller value), with the item's current value
// calibrated as the dialog would set it. A view copies the control values below in both
// directions and calls the handlers; list position p is item p + 1.
//
// Guarantees: the reference points are edited on working copies; bt_SichernClick hands
// every item's to the running program and TARVEDDE.INI together, and a write the disk
// refuses is told to the operator. A refused setMinMax changes nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/acquisition/sample_integrator.h"
#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/item_settings_change.h"
#include "platform/locale.h"

namespace tarvedde {

class TFo_Kalibrierung {
public:
    // `sources` holds every item's newest value text, `integrator` its running sum and the
    // scaling of its integral; `changes` learns of a save.
    TFo_Kalibrierung(Configuration& config, const PerItem<ItemSource>& sources,
                     SampleIntegrator& integrator, ItemSettingsChange& changes, Host& host,
                     const Locale& locale);
    // Its timer calls back into this object.
    TFo_Kalibrierung(const TFo_Kalibrierung&) = delete;
    TFo_Kalibrierung& operator=(const TFo_Kalibrierung&) = delete;

    // Control values.
    std::vector<std::string> lbNames;
    int lbNamesItemIndex = -1;
    std::string lbName;  // "Parametername"
    std::string lbAkt;   // "Akt. Wert"
    std::string lbSum;   // "Summe"
    std::string eMinforUser = "0.0";
    std::string eMaxforUser = "12.0";
    int e_minforsps = -9999;  // -99999..65536
    int e_maxforsps = 32768;  // 0..65535
    std::string lb_M;
    std::string lb_T;

    // Called after each Timer1 tick has refreshed the shown values.
    std::function<void()> onChanged;

    void FormShow();
    void lbNamesClick();
    void Timer1Timer();
    void setMinMaxClick();
    void bt_SichernClick();
    void FormClose();

    const Timer& Timer1() const { return *timer1_; }

private:
    int SelectedItem() const { return lbNamesItemIndex + 1; }
    bool HasSelection() const {
        return lbNamesItemIndex >= 0 && lbNamesItemIndex < config_.Settings().itemCount;
    }
    void LoadItem(int n);

    Configuration& config_;
    const PerItem<ItemSource>& sources_;
    SampleIntegrator& integrator_;
    ItemSettingsChange& changes_;
    Host& host_;
    const Locale& locale_;
    std::unique_ptr<Timer> timer1_;
    PerItem<ItemCalibration> working_{};
    // What the items had when shown: a save writes only what the operator changed.
    PerItem<ItemCalibration> shown_{};
};

}  // namespace tarvedde
