#include "dialogs/tarvedde_warnung.h"

namespace tarvedde {

TFo_Warnung::TFo_Warnung(WarningWindowModel& window, Configuration& config, Host& host)
    : window_(window),
      config_(config),
      op_(host.op),
      timer1_(host.loop.CreateTimer("Timer1", 3000, [this] { Timer1Timer(); })) {
    window_.Attach(this);
}

TFo_Warnung::~TFo_Warnung() {
    window_.Attach(nullptr);
}

void TFo_Warnung::FormShow() {
    timer1_->SetEnabled(true);
}

void TFo_Warnung::Timer1Timer() {
    for (int i = 0; i < 3; ++i) {
        op_.Beep();
    }
    // A window nobody acknowledges must not grow without end.
    if (window_.lb1().Count() > kMaxLines) {
        window_.lb1().Clear();
    }
}

void TFo_Warnung::BitBtn1Click() {
    if (cb1) {
        config_.SwitchOffWarnings();
        cb1 = false;
    }
    Close();
}

bool TFo_Warnung::FormCloseQuery() {
    timer1_->SetEnabled(false);
    window_.lb1().Clear();
    return true;
}

void TFo_Warnung::Close() {
    if (FormCloseQuery()) {
        window_.Hide();
    }
}

}  // namespace tarvedde
