// The OPC installation's part of run control: the start checks, the stop's disconnects,
// the watchdog that restarts a silent connection and ends the program after repeated
// failures (an outside watchdog program starts it again), and the OPC menu.
#include <algorithm>
#include <exception>

#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr char kWatchdogProgram[] = "DDE-Wache.exe";
// The outside watchdog program keeps this file while it runs.
constexpr char kWatchdogRunningFile[] = "$_wache";
constexpr int kCloseCountAtStart = 5;
// Failures further apart than this are not counted as a series.
constexpr double kFailureSeriesSeconds = 1800.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr std::uint32_t kUpdateRateMs = 1000;

}  // namespace

bool TarveddeMain::OpcStartChecks() {
    if (!host_.files.Exists(config_.ProgramDir() + kWatchdogProgram)) {
        log_.WriteLog("**** Warnung : DDE-Wache.exe nicht vorhanden !");
    }
    if (config_.Settings().opcServer.empty()) {
        host_.op.ShowMessage("Kein OPC-Server gewählt !");
        log_.WriteLog("Kein OPC-Server gewählt !");
        return false;
    }
    timerOpcTot_->SetEnabled(true);
    // The item list came from the browse dialog's test, not from the configuration.
    if (!window_.it1.empty() && !dde_.ItemsLinked()) {
        opc_.StartOpcTest();
        return false;
    }
    return true;
}

Status TarveddeMain::DisconnectOpcGroup() {
    return opc_.DisconnectGroups();
}

Status TarveddeMain::DisconnectOpcClient() {
    return opc_.Disconnect();
}

void TarveddeMain::DeactivateOpcClient() {
    (void)opc_.Disconnect();
}

void TarveddeMain::OpcWatchdogTick() {
    if (!opc_.CountDown()) {
        return;
    }
    timerOpcTot_->SetEnabled(false);
    log_.WriteLog("OPC_tot ! Neustart der OPC-Verbindung...");
    const std::string& dir = config_.ProgramDir();
    if (!host_.files.Exists(dir + kWatchdogRunningFile)) {
        (void)host_.shell.StartProgram(dir + kWatchdogProgram, {});
    }
    OpcWatchdogTeardown();
    const double now = host_.clock.Now();
    int closeCount = config_.Settings().opcCloseCount;
    if (closeCount == kCloseCountAtStart) {
        opc_.SetLastFailure(now);
    }
    --closeCount;
    const double elapsed = (now - opc_.LastFailure()) * kSecondsPerDay;
    if (elapsed > 1.0) {
        log_.WriteLog("Zeit[s] zwischen zwei Ausfällen: " + FormatGeneral(elapsed, locale_));
    }
    opc_.SetLastFailure(now);
    if (elapsed > kFailureSeriesSeconds) {
        closeCount = kCloseCountAtStart - 1;
    }
    config_.SetOpcCloseCount(closeCount);
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    (void)schema::Write(ini, schema::kOpcCloseCount, closeCount);
    if (closeCount < 1) {
        log_.WriteLog("OPC-Verbindung abgebrochen. Programm wird automatisch beendet.");
        Close();
        return;
    }
    ShowOpcFailureWarning();
    StartAcquisition();
}

// Each step's failure is logged and the next runs: a dead server refuses everything.
void TarveddeMain::OpcWatchdogTeardown() {
    if (!opc_.DisconnectGroups().ok()) {
        log_.WriteLog("OPC_tot, DisconnectGroups: RPC-Server nicht verfügbar !");
    }
    try {
        StopAcquisition();
    } catch (const std::exception&) {
        log_.WriteLog("OPC_tot, StopNow,  Fehler");
    }
    if (!opc_.Disconnect().ok()) {
        log_.WriteLog("OPC_tot, OPCclient.Disconnect: RPC-Server nicht verfügbar !");
    }
}

void TarveddeMain::ShowOpcFailureWarning() {
    LinesModel& lines = warningWindow_.lb1();
    lines.Append("Achtung! Die Verbindung zum OPC-Server ist unterbrochen.");
    lines.Append("Beenden Sie dieses Programm und starten Sie es neu.");
    lines.Append("** Zeit: " + window_.lbDT + " Uhr");
    lines.Append("Das Programm wird nach 3 Versuchen automatisch");
    lines.Append("beendet und über die DDE-Wache neu gestartet.");
    warningWindow_.SetCaption(" Fehler bei OPC-Datenübertragung !");
    warningWindow_.Show();
}

void TarveddeMain::Servereinstellen1Click() {
    if (config_.Settings().sourceKind != SourceKind::Opc) {
        return;
    }
    TOpcSimpleClient& client = opc_.Client();
    client.SetHostName(window_.eHost);
    opc_.Group().SetUpdateRate(kUpdateRateMs);
    if (opcDialogs_ == nullptr) {
        return;
    }
    try {
        if (!opcDialogs_->SelectServer(client)) {
            return;
        }
        config_.SetOpcServer(client.HostName(), client.ProgID());
        IniFile ini(host_.files, config_.PathOf(kMainIniFile));
        (void)schema::Write(ini, schema::kOpcHost, client.HostName());
        (void)schema::Write(ini, schema::kOpcServer, client.ProgID());
        opc_.Group().SetItems({});
        client.Connect(true);
    } catch (const std::exception& e) {
        host_.op.ShowMessage(e.what());
    }
}

void TarveddeMain::Browser1Click() {
    if (config_.Settings().sourceKind != SourceKind::Opc || opcDialogs_ == nullptr) {
        return;
    }
    TOpcSimpleClient& client = opc_.Client();
    try {
        if (client.Active()) {
            opcDialogs_->Browse(client);
            return;
        }
        client.Connect(true);
        opcDialogs_->Browse(client);
        client.Disconnect();
    } catch (const std::exception& e) {
        host_.op.ShowMessage(e.what());
    }
}

void TarveddeMain::Itemseditieren1Click() {
    window_.it1Editable = !window_.it1Editable;
    window_.Changed();
}

// Every per-item table holds 180 items; the lines past them are left out and said so.
void TarveddeMain::UseOpcItemsForTest(const std::vector<std::string>& itemIds) {
    window_.it1.clear();
    dde_.MarkUnlinked();
    const std::size_t count = std::min<std::size_t>(itemIds.size(), maxItems);
    for (std::size_t n = 0; n < count; ++n) {
        window_.it1.push_back(ItemListRow{itemIds[n], {}});
    }
    if (count < itemIds.size()) {
        log_.WriteLog("Nur die ersten " + std::to_string(maxItems) + " von " +
                      std::to_string(itemIds.size()) + " Items werden getestet.");
    }
    config_.SetItemCount(static_cast<int>(count));
    window_.Changed();
}

}  // namespace tarvedde
