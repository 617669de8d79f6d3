// Starting and stopping acquisition, and the operator's commands that do it, with the
// buffers and the timer of the moving averages and fifteen-minute values; OPC's own steps
// are in opc_run_control.cpp, and AQASYS joins here as that part of the program arrives.
// A stop never loses data: a running cycle is waited for, but only within a bound, so a
// cycle that cannot finish never hangs the program.
#include <algorithm>
#include <exception>
#include <map>

#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"

namespace tarvedde {
namespace {

// The cycle runs on this thread, so a cycle that has not finished while the stop waits is
// one the wait itself interrupted (a message box inside the cycle): waiting longer cannot
// help. Pending work gets these chances, within this much time, to finish it.
constexpr int kStopWaitPasses = 1000;
constexpr std::int64_t kStopWaitMs = 10'000;
// The watchdog's seconds at every start; an OPC installation's own follow later.
constexpr int kFirstOpcDeadSeconds = 180;

}  // namespace

void TarveddeMain::StartAcquisition() {
    if (suspendedUntilRestart_) {
        log_.WriteLog("Datenerfassung erst nach einem Neustart des Programms.");
        return;
    }
    opc_.SetDeadCountdown(kFirstOpcDeadSeconds);
    const bool opc = config_.Settings().sourceKind == SourceKind::Opc;
    if (opc && !OpcStartChecks()) {
        return;
    }
    config_.LoadItemOptions();
    LoadTimeFrames();
    const GeneralSettings& settings = config_.Settings();
    if (settings.permanentMode) {
        SyncTimeFrames();
    }
    if (opc) {
        opc_.SetDeadCountdown(settings.opcDeadSeconds);
    }
    if (settings.customDayChange) {
        log_.WriteLog("Geänderte Tageswechsel-Initialisierung um " +
                      FormatDateTime("hh:nn:ss", settings.customDayChangeTime, locale_));
    }
    if (!settings.permanentMode) {
        StartAqasysRetrieval();
        return;
    }
    processor_.SetOperatingHoursPerCycle((settings.cycleIntervalMs / 1000) / 3600.0);
    if (!(settings.configValid && cycleComplete_ && dde_.ItemsLinked() && !dde_.ConnectionLost())) {
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
    SetupWindowBuffers();
    timerGleitM_->SetEnabled(true);
    MainWindowModel& window = window_;
    timeoutCounter_ = 0;
    window.lbTimeout = "TimeOut";
    window.lbTimeoutVisible = false;
    window.menuEnabled["Info1"] = false;
    window.menuEnabled["Einstellungen1"] = false;
    timerDDE_->SetInterval(settings.cycleIntervalMs);
    timerDDE_->SetEnabled(true);
    // A frame time passed while acquisition stood (stopped, the server lost) is still
    // crossed by the first cycle: this run's last cycle stays the previous one, back to
    // the day's beginning at most. The first start of the program has none.
    const double lastCycle = cycle_.previousCycleTime;
    cycle_.cycleTime = host_.clock.Now();
    const bool ranBefore = lastCycle > 0.0 && lastCycle <= cycle_.cycleTime;
    cycle_.previousCycleTime =
        ranBefore ? std::max(lastCycle, DateOf(cycle_.cycleTime)) : cycle_.cycleTime;
    cycle_.cycleElapsedMs = host_.clock.ElapsedMs();
    cycle_.previousCycleElapsedMs = cycle_.cycleElapsedMs;
    window.lbAusVisible = false;
    if (settings.sourceKind == SourceKind::Dde) {
        log_.WriteLog("Datenerfassung gestartet.");
    }
    if (opc && !opc_.StartOpcAcquisition()) {
        return;
    }
    stopped_ = false;
    // An item string saved while acquisition stood. A running day the clock has left is
    // closed by the first cycle, and the new day's files get the new header.
    if (DecodeDate(cycle_.cycleTime) == runningDay_) {
        dayFiles_.StartNextVersionIfChanged(runningDay_);
    }
    window.btStartDDEEnabled = false;
    window.btStoppenEnabled = true;
    dde_.MarkAcquisitionStarted();
    window.Changed();
    TimerDDETimer();
}

void TarveddeMain::SetupWindowBuffers() {
    const bool fifteenMinuteCreated = fifteenMinuteValues_.SetupWindowBuffers();
    if (movingAverages_.SetupWindowBuffers()) {
        store_.RestoreMovingAverageBuffers(config_, Marker());
    }
    if (fifteenMinuteCreated) {
        store_.RestoreFifteenMinuteBuffers(config_, Marker());
    }
    timerGleitM_->SetInterval(config_.Settings().movingIntervalMs);
}

// Off while it runs: the next interval counts from the end of a tick, as it always has.
void TarveddeMain::TimerGleitMTimer() {
    timerGleitM_->SetEnabled(false);
    // A lost server's last values are no samples.
    const bool ddeLost = config_.Settings().sourceKind == SourceKind::Dde && dde_.ConnectionLost();
    if (!ddeLost && !OpcServerLost()) {
        movingAverages_.TimerGleitMTimer(dde_.Sources(), host_.clock.Now());
    }
    timerGleitM_->SetEnabled(true);
}

void TarveddeMain::StartAqasysRetrieval() {
    if (!dde_.CheckServer()) {
        timerAqasys1_->SetEnabled(false);
        return;
    }
    MainWindowModel& window = window_;
    stopped_ = false;
    window.btStartDDEEnabled = false;
    window.btStoppenEnabled = true;
    window.lbAusVisible = false;
    log_.WriteLog("AQASYS-Daten werden übertragen....");
    window.pb1Position = 0;
    window.Changed();
    aqasys_.NewTransfer();
    timerAqasys1_->SetEnabled(true);
    TransferTick();
}

void TarveddeMain::TransferTick() {
    aqasys_.TransferTick();
}

// Stopped first, so the stop command asks nothing.
void TarveddeMain::StopRetrieval() {
    stopped_ = true;
    StopAqasysRetrieval();
}

// A running transfer finds the newly unread days by itself.
void TarveddeMain::StartRetrieval() {
    if (stopped_) {
        StartAcquisition();
    }
}

bool TarveddeMain::MenuClick(const std::string& name) {
    using Handler = void (*)(TarveddeMain&);
    static const std::map<std::string, Handler> handlers = {
        {"Beenden1", [](TarveddeMain& m) { m.Beenden1Click(); }},
        {"DDEOPCstoppen1", [](TarveddeMain& m) { m.DDEOPCstoppen1Click(); }},
        {"Tagesdatenloeschen1", [](TarveddeMain& m) { m.Tagesdatenloeschen1Click(); }},
        {"SummenOffsetgespiegelteWerte1",
         [](TarveddeMain& m) { m.dayStatistics_.SummenOffsetgespiegelteWerte1Click(); }},
        {"MinimaMaxima1", [](TarveddeMain& m) { m.dayStatistics_.MinimaMaxima1Click(); }},
        {"MittelwerteSummen1", [](TarveddeMain& m) { m.dayStatistics_.MittelwerteSummen1Click(); }},
        {"Neustart1", [](TarveddeMain& m) { m.Neustart1Click(); }},
        {"Fremdwasser1", [](TarveddeMain& m) { m.Fremdwasser1Click(); }},
        {"NachtzulaufEWIndeingeben1", [](TarveddeMain& m) { m.NachtzulaufEWIndeingeben1Click(); }},
        {"UebergabezumTagebuch1", [](TarveddeMain& m) { (void)m.UebergabezumTagebuch1Click(); }},
        {"Servereinstellen1", [](TarveddeMain& m) { m.Servereinstellen1Click(); }},
        {"Browser1", [](TarveddeMain& m) { m.Browser1Click(); }},
        {"Itemseditieren1", [](TarveddeMain& m) { m.Itemseditieren1Click(); }},
    };
    const auto handler = handlers.find(name);
    if (handler == handlers.end()) {
        return false;
    }
    handler->second(*this);
    return true;
}

bool TarveddeMain::UebergabezumTagebuch1Click() {
    if (diary_.OnlineCount() > 0) {
        return true;
    }
    host_.op.ShowMessage(
        "Datei ONLINE.TVW wurde nicht von TARVEGET erzeugt \r\noder die Anzahl der "
        "Online-Parameter ist 0 !");
    return false;
}

bool TarveddeMain::ButtonClick(const std::string& name) {
    // A disabled button cannot be clicked.
    if (name == "btStartDDE") {
        if (window_.btStartDDEEnabled) {
            StartButton();
        }
        return true;
    }
    if (name == "btStoppen") {
        if (window_.btStoppenEnabled) {
            StopButton();
        }
        return true;
    }
    return false;
}

void TarveddeMain::StopButton() {
    forcedStop_ = false;
    const bool watching = timerOpcTot_->Enabled();
    timerOpcTot_->SetEnabled(false);
    const bool opc = config_.Settings().sourceKind == SourceKind::Opc;
    if (!config_.Settings().permanentMode) {
        StopAqasysRetrieval();
        return;
    }
    // Acquisition that goes on keeps its watchdog: nothing else would switch it on again.
    if (!ConfirmStop()) {
        timerOpcTot_->SetEnabled(watching);
        return;
    }
    if (opc && !DisconnectOpcGroup().ok()) {
        log_.WriteLog("DisconnectGroups: RPC-Server nicht verfügbar !");
    }
    StopAcquisition();
    if (opc) {
        if (!DisconnectOpcGroup().ok()) {
            log_.WriteLog("DisconnectGroups: RPC-Server nicht verfügbar !");
        }
        if (!DisconnectOpcClient().ok()) {
            log_.WriteLog("OPCclient.Disconnect: RPC-Server nicht verfügbar !");
        }
    }
}

// Both questions run when a cycle is unfinished during acquisition; either answer that
// keeps acquisition running ends the stop.
bool TarveddeMain::ConfirmStop() {
    if (!cycleComplete_) {
        if (host_.op.Ask("DDE-Daten noch nicht vollständig. Wirklich stoppen ?",
                         QuestionButtons::YesNo) != Answer::Yes) {
            return false;
        }
        forcedStop_ = true;
    }
    if (!stopped_) {
        if (host_.op.Ask("Datenerfassung weiter arbeiten lassen ?", QuestionButtons::YesNo) !=
            Answer::No) {
            return false;
        }
        forcedStop_ = true;
    }
    return true;
}

void TarveddeMain::StopAqasysRetrieval() {
    if (!stopped_ &&
        host_.op.Ask("Datenerfassung wirklich beenden ?", QuestionButtons::YesNo) == Answer::No) {
        return;
    }
    stopped_ = true;
    window_.btStartDDEEnabled = true;
    window_.btStoppenEnabled = false;
    timerAqasys1_->SetEnabled(false);
    dde_.DisconnectDDE();
    log_.CloseRawData();
    window_.lbAusVisible = true;
    window_.Changed();
}

void TarveddeMain::StopAcquisition() {
    MainWindowModel& window = window_;
    stopped_ = true;
    HoldAcquisition();
    window.lbTimeout = "Gestoppt";
    window.Changed();
    if (!forcedStop_) {
        WaitForRunningCycle();
    }
    timerDDE_->SetEnabled(false);
    EndLinkSetUp();
    log_.CloseRawData();
    log_.WriteLog("Datenerfassung beendet.");
    grid_.SetCell(0, grid_.CurrentRow(), window.lbDT);
    grid_.NotifyChanged();
    window.menuEnabled["Info1"] = true;
    window.menuEnabled["Einstellungen1"] = true;
    window.btStartDDEEnabled = true;
    window.btStoppenEnabled = false;
    if (!dayFiles_.DatEveryCycle() && grid_.CurrentRow() != grid_.LastRow()) {
        log_.WriteLog("Ihre zwischengespeicherten Daten wurden nicht automatisch gesichert !");
    }
    timerGleitM_->SetEnabled(false);
    timerAuto_->SetEnabled(false);
    timerFirstValues_->SetEnabled(false);
    dde_.MarkAcquisitionStopped();
    window.Changed();
}

void TarveddeMain::WaitForRunningCycle() {
    const std::int64_t startMs = host_.clock.ElapsedMs();
    for (int pass = 0; !cycleComplete_ && pass < kStopWaitPasses; ++pass) {
        if (host_.clock.ElapsedMs() - startMs >= kStopWaitMs) {
            break;
        }
        host_.loop.ProcessPendingEvents();
        window_.lbTimeout += ".";
        window_.Changed();
    }
}

void TarveddeMain::Beenden1Click() {
    log_.WriteLog("Manuelle Anforderung zum Beenden des Programms...");
    if (!stopped_ &&
        host_.op.Ask("Programm weiter arbeiten lassen ?", QuestionButtons::YesNo) != Answer::No) {
        return;
    }
    log_.WriteLog("Programm wird manuell beendet !");
    Close();
}

void TarveddeMain::DDEOPCstoppen1Click() {
    if (window_.btStoppenEnabled) {
        StopButton();
    } else if (window_.btStartDDEEnabled) {
        StartButton();
    }
}

// A server that ended the conversation while acquisition stood is retried by nothing else
// when the automatic start is off: the operator's start links once before it starts.
void TarveddeMain::StartButton() {
    // Linking or linked a moment ago, the start waits for the set-up and the first values.
    if (dde_.Linking() || timerFirstValues_->Enabled()) {
        return;
    }
    const GeneralSettings& settings = config_.Settings();
    const bool dde = settings.permanentMode && settings.sourceKind == SourceKind::Dde;
    if (!dde || !dde_.ConnectionLost()) {
        StartAcquisition();
        return;
    }
    if (LinkItems(AfterLinking::Start)) {
        StartOutcome();
    }
}

// Linked, the start waits for the links' first values as a reconnect does; otherwise the
// start tells why it cannot run.
void TarveddeMain::StartOutcome() {
    if (dde_.ConnectionLost()) {
        StartAcquisition();
        return;
    }
    timerFirstValues_->SetEnabled(true);
}

// An incomplete configuration counts as a lost connection without asking the server:
// the retry timer then only beeps, instead of restarting acquisition (and logging) every
// second.
bool TarveddeMain::LinkItems(AfterLinking then) {
    if (!config_.Settings().configValid) {
        dde_.MarkUnreachable();
        return true;
    }
    // A set-up still going on decides with its own end; a second would link twice.
    if (dde_.Linking()) {
        return false;
    }
    afterLinking_ = then;
    return dde_.LinkItems(this);
}

void TarveddeMain::LinkSetUpEnded() {
    if (afterLinking_ == AfterLinking::AutoStart) {
        AutoStart();
        return;
    }
    if (afterLinking_ == AfterLinking::Start) {
        StartOutcome();
        return;
    }
    try {
        RetryOutcome();
    } catch (const std::exception&) {
        log_.WriteLog("Main : Exception (3)");
        timerAuto_->SetEnabled(true);
    }
}

void TarveddeMain::UnlinkItems() {
    dde_.StopLinking();
    dde_.UnlinkItems();
    dde_.MarkUnlinked();
}

void TarveddeMain::EndLinkSetUp() {
    if (dde_.Linking()) {
        UnlinkItems();
    }
}
void TarveddeMain::CloseDDE() {
    dde_.CloseDDE();
}

void TarveddeMain::CreateLiveDataWindow() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    // The window's own default buffer differs from the configuration load's.
    const int bufferSize = schema::Read(ini, schema::kPuffer, 8);
    const int itemCount = schema::Read(ini, schema::kItemcount);
    // The configuration load at start relies on this count (the protocol order).
    config_.SetItemCount(itemCount);
    grid_.Resize(itemCount + 1, std::clamp(bufferSize, 0, 10000) + 6);
    grid_.SetCurrentRow(5);
}

}  // namespace tarvedde
