// The maintenance dialog (" Wartung"): puts items into maintenance for a limited time and
// corrects their day minimum and maximum. A view copies the control values below in both
// directions and calls the handlers; list position p is item p + 1.
//
// Guarantees: the flags are edited on a working copy that reaches the running program
// only through btSpeichernClick ("Übernehmen"); once an item is in maintenance,
// Timer_Wartung switches every item off again at most T_Wartung minutes later.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/processing/per_value_processing.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

class TFo_Wartung {
public:
    TFo_Wartung(Configuration& config, ValueProcessor& processor, Host& host, ProgramLog& log,
                const Locale& locale);
    // Its timer calls back into this object.
    TFo_Wartung(const TFo_Wartung&) = delete;
    TFo_Wartung& operator=(const TFo_Wartung&) = delete;

    // Control values.
    std::vector<std::string> lbDDE;
    int lbDDEItemIndex = -1;
    bool cbWartung = false;
    bool cbWartungEnabled = true;
    std::string cbWartungCaption = "Wartung einschalten";
    int T_Wartung = 30;  // minutes, 1..60
    std::string eMin;
    std::string eMax;
    bool gespiegeltVisible = false;

    // Called after the timer has switched maintenance off behind the operator's back.
    std::function<void()> onChanged;

    void FormShow();
    void lbDDEClick();
    // The operator's click on cbWartung, after the view has set `cbWartung`.
    void cbWartungClick();
    void btSpeichernClick();  // "Übernehmen"
    // After the view has set `T_Wartung`; a value outside 1..60 is taken as the nearest.
    void T_WartungChange();
    void bt_AbschaltenClick();  // "Alle abschalten"
    void Timer_WartungTimer();
    void btMinClick();
    void btMaxClick();

    const Timer& Timer_Wartung() const { return *timerWartung_; }

private:
    int SelectedItem() const { return lbDDEItemIndex + 1; }
    bool HasSelection() const {
        return lbDDEItemIndex >= 0 && lbDDEItemIndex < config_.Settings().itemCount;
    }
    void LoadItem(int n);
    void ShowLiveFlag();
    Result<double> Typed(const std::string& text);

    Configuration& config_;
    ValueProcessor& processor_;
    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    std::unique_ptr<Timer> timerWartung_;
    PerItem<bool> workingFlags_{};
    bool loading_ = false;
};

}  // namespace tarvedde
