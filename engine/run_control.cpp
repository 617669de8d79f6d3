// Starting acquisition: the cycle interval, the timers, the first tick at once. The
// buffers of the moving averages and fifteen-minute values, OPC and AQASYS join here as
// those parts of the program arrive.
#include "engine/configuration_loader.h"
#include "engine/tarvedde_main.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"

namespace tarvedde {

void TarveddeMain::StartAcquisition() {
    LoadItemOptions(state_);
    GeneralSettings& settings = state_.settings;
    if (settings.permanentMode) {
        SyncTimeFrames();
    }
    if (settings.customDayChange) {
        log_.WriteLog("Geänderte Tageswechsel-Initialisierung um " +
                      FormatDateTime("hh:nn:ss", settings.customDayChangeTime, locale_));
    }
    if (!settings.permanentMode) {
        return;
    }
    state_.operatingHoursPerCycle = (settings.cycleIntervalMs / 1000) / 3600.0;
    if (!(settings.configValid && state_.cycleComplete && state_.itemsLinked &&
          !state_.connectionLost)) {
        if (settings.autoStart) {
            log_.WriteLog("Es wird versucht, die Verbindung herzustellen...");
            timerAuto_->SetEnabled(true);
        } else {
            host_.op.ShowMessage(
                "Wichtiger Hinweis :\r\n <Einstellungen>\r\n  <Datenerfassung>\r\n   "
                "<Automatisch starten>\r\nist nicht ausgewählt !");
        }
        return;
    }
    MainWindowModel& window = state_.window;
    state_.timeoutCounter = 0;
    window.lbTimeout = "TimeOut";
    window.lbTimeoutVisible = false;
    window.menuEnabled["Info1"] = false;
    window.menuEnabled["Einstellungen1"] = false;
    timerDDE_->SetInterval(settings.cycleIntervalMs);
    timerDDE_->SetEnabled(true);
    state_.cycleTime = host_.clock.Now();
    state_.previousCycleTime = state_.cycleTime;
    state_.cycleElapsedMs = host_.clock.ElapsedMs();
    state_.previousCycleElapsedMs = state_.cycleElapsedMs;
    window.lbAusVisible = false;
    if (settings.sourceKind == SourceKind::Dde) {
        log_.WriteLog("Datenerfassung gestartet.");
    }
    stopped_ = false;
    window.btStartDDEEnabled = false;
    window.btStoppenEnabled = true;
    state_.acquisitionStarted = true;
    window.Changed();
    TimerDDETimer();
}

// An incomplete configuration counts as a lost connection without asking the server:
// the retry timer then only beeps, instead of restarting acquisition (and logging) every
// second.
void TarveddeMain::LinkItems() {
    if (!state_.settings.configValid) {
        state_.itemsLinked = false;
        state_.connectionLost = true;
        return;
    }
    dde_.LinkItems();
}

void TarveddeMain::CreateLiveDataWindow() {
    IniFile ini(host_.files, state_.PathOf(kMainIniFile));
    const int bufferSize = ini.ReadInteger("DDE", "Puffer", 8);
    const int itemCount = std::clamp(ini.ReadInteger("DDE", "Itemcount", 0), 0, maxItems);
    // The configuration load at start relies on this count (the protocol order).
    state_.settings.itemCount = itemCount;
    state_.grid.Resize(itemCount + 1, std::clamp(bufferSize, 0, 10000) + 6);
    state_.grid.SetCurrentRow(5);
}

}  // namespace tarvedde
