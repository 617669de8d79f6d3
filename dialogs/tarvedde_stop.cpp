// The stop countdown: one engine timer, eight ticks, then the engine stops and closes.
#include "dialogs/tarvedde_stop.h"

namespace tarvedde {

TFo_Stop::TFo_Stop(TarveddeMain& main)
    : main_(main),
      timer1_(main.GetHost().loop.CreateTimer("Timer1", 1000, [this] { Timer1Timer(); })) {
    main_.SetStopCountdown([this] { Show(); });
}

TFo_Stop::~TFo_Stop() {
    main_.SetStopCountdown({});
}

void TFo_Stop::Show() {
    if (visible_) {
        return;
    }
    visible_ = true;
    FormShow();
}

void TFo_Stop::FormShow() {
    counter_ = 0;
    p1Max = kTicks;
    p1Position = 0;
    timer1_->SetEnabled(true);
    Changed();
}

void TFo_Stop::Timer1Timer() {
    ++counter_;
    p1Position = counter_;
    if (counter_ < kTicks) {
        Changed();
        return;
    }
    timer1_->SetEnabled(false);
    main_.Log().WriteLog("Programm wird jetzt unsauber beendet.");
    // Hidden before the long stop, so the window does not linger while acquisition ends.
    visible_ = false;
    Changed();
    main_.StopAcquisition();
    main_.Close();
}

void TFo_Stop::BitBtn1Click() {
    timer1_->SetEnabled(false);
    main_.Log().WriteLog("Manueller Eingriff : Programm wird nicht beendet.");
    visible_ = false;
    Changed();
    main_.CloseRefused();
}

void TFo_Stop::Changed() {
    if (onChanged) {
        onChanged();
    }
}

}  // namespace tarvedde
