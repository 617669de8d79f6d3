// What the general settings dialog does to the running program: its showing reads the
// settings files anew, its save may change the cycle at once or hold acquisition until
// the program starts again.
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

// The cycle timer keeps running: the dialog is only reachable while acquisition stands.
// The grid, the state files and the day file header stay sized for the items this run
// started with; the dialog shows the saved count from the file.
void TarveddeMain::ReloadConfiguration() {
    LoadConfiguration(Configuration::ItemCount::KeepRunning);
    timerDDE_->SetInterval(config_.Settings().cycleIntervalMs);
}

void TarveddeMain::ApplyCycleInterval(int count, int unit, int intervalMs) {
    timerDDE_->SetInterval(intervalMs);
    config_.SetCycleInterval(count, unit, timerDDE_->Interval());
}

// A changed item count or buffer size no longer fits the grid, the state files and the
// links of this run: neither the connection retry nor a later start may run a cycle.
void TarveddeMain::SuspendUntilRestart() {
    suspendedUntilRestart_ = true;
    timerDDE_->SetEnabled(false);
    timerAuto_->SetEnabled(false);
    timerFirstValues_->SetEnabled(false);
    window_.lbAusVisible = true;
    window_.btStartDDEEnabled = false;
    window_.Changed();
}

}  // namespace tarvedde
