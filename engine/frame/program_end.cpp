// The program end: the close request with its countdown, the end-of-program statistics,
// the final state save and the release of the marker and the lock; the heartbeat for the
// outside watchdog; the statistics window saved as it changes. Each end step is guarded on
// its own, so a failing step never keeps the intermediate state from being saved or the
// marker from being deleted.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <utility>

#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "engine/processing/per_value_processing.h"
#include "engine/statistics/day_protocol.h"
#include "engine/statistics/item_statistics_report.h"
#include "engine/statistics/time_frames.h"
#include "outputs/item_log_flags.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/text_file.h"
#include "platform/time_zone.h"

namespace tarvedde {
namespace {

constexpr std::int64_t kReportSaveSpacingMs = 10'000;
constexpr std::int64_t kReportSaveMsPerLine = 100;

}  // namespace

bool TarveddeMain::FormClose() {
    if (closed_) {
        return true;
    }
    closeRequested_ = false;
    if (!CloseQuery()) {
        return false;
    }
    closed_ = true;
    CloseMain();
    DestroyMain();
    return true;
}

// The engine's own close goes through the host, which owns the window and the loop.
void TarveddeMain::Close() {
    if (closed_ || !CloseQuery()) {
        return;
    }
    RequestClose();
}

void TarveddeMain::RequestClose() {
    closeRequested_ = true;
    host_.loop.Quit();
}

bool TarveddeMain::CloseQuery() {
    if (stopped_) {
        return true;
    }
    log_.WriteLog("Stop-Aufforderung wird aktiviert, 10s für manuelles Eingreifen ....");
    // A slow server's reconnect would hold the countdown between its link turns: it ends
    // now, and the retry takes it up again unless the countdown stops acquisition.
    if (dde_.Linking()) {
        EndLinkSetUp();
        dde_.MarkUnreachable();
    }
    if (showStopCountdown_) {
        showStopCountdown_();
    } else {
        CloseRefused();
    }
    return false;
}

void TarveddeMain::CloseRefused() {
    // Left standing, the request would make the next start of the day, whatever ends
    // this run, a cold start that discards the day's values.
    if (closingForRestart_) {
        closingForRestart_ = false;
        IniFile ini(host_.files, config_.PathOf(kMainIniFile));
        (void)schema::Write(ini, schema::kNullstart, false);
        log_.WriteLog("Neustart abgebrochen, der nächste Start ist ein Warmstart.");
    }
    if (!stopped_ && dde_.ConnectionLost()) {
        timerAuto_->SetEnabled(true);
    }
}

void TarveddeMain::CloseMain() {
    timerTot_->SetEnabled(false);
    log_.CloseRawData();
    DeactivateOpcClient();
    if (!config_.Settings().permanentMode) {
        return;
    }
    // A start that ended before it read the day's protocol, settings and state would
    // write their defaults over them.
    if (!startReadTheDay_) {
        log_.WriteLog("Programmende ohne Speichern: der Start wurde nicht abgeschlossen.");
        return;
    }
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    (void)schema::Write(ini, schema::kProtoFontsize, config_.Settings().reportFontSize);
    log_.WriteDDEInfo("----------------- Programm wird beendet :  " +
                      FormatDateTime("dddddd,hh:nn:ss", host_.clock.Now(), locale_) +
                      "  -----------------");
    WriteProgramEndStatistics();
}

void TarveddeMain::WriteProgramEndStatistics() {
    const std::optional<SaveMoment> heldEnd = HeldDayEnd(host_.clock.Now());
    if (!heldEnd) {
        integrator_.KeepNewDayInRunningDay();
    }
    const SaveMoment moment =
        heldEnd.value_or(SaveMoment{host_.clock.Now(), host_.clock.ElapsedMs()});
    try {
        EndConversationAtProgramEnd();
    } catch (const std::exception&) {
        log_.WriteLog("Programmende : Exception bei StopConversation");
    }
    try {
        PrintIntermediateStatisticsAtEnd(moment);
    } catch (const std::exception&) {
        log_.WriteLog("Programmende : Exception bei Itemorder[ki]");
    }
    try {
        SaveAtProgramEnd(moment);
    } catch (const std::exception&) {
        log_.WriteLog("Programmende : Exception be spSichernClick");
    }
}

// The logging flags and the heading belong to every permanent source: skipped for OPC,
// "Logbuch einstellen" was lost at every restart.
void TarveddeMain::EndConversationAtProgramEnd() {
    if (config_.Settings().sourceKind == SourceKind::Dde) {
        // The links end, but the items count as linked until the close has saved the
        // state they acquired: cleared here, the final save would skip every file.
        dde_.StopLinking();
        dde_.UnlinkItems();
        timerGleitM_->SetEnabled(false);
    }
    SaveItemLogFlags(host_.files, config_.PathOf(kItemLogFlagsFile), config_.LogFlags(), log_);
    memo2_.Append("");
    AppendStatisticsHeading(memo2_, "Programmende: Zwischen-Statistik für " +
                                        FormatDateTime("dddddd (t)", cycle_.cycleTime, locale_));
}

// Items whose time frame applies today get their statistics from the time frame.
void TarveddeMain::PrintIntermediateStatisticsAtEnd(SaveMoment moment) {
    const int weekday = DayOfWeek(cycle_.cycleTime);
    const int count = std::min(config_.Settings().itemCount, maxItems);
    for (int k = 1; k <= count; ++k) {
        const int item = config_.ItemProtocolOrder()[static_cast<std::size_t>(k)];
        if (item < 1 || item > maxItems) {
            continue;
        }
        const ItemConfig& config = config_.Items()[item];
        if (config.timeFrame.on && DayMatches(weekday, config.Tagesauswahl)) {
            continue;
        }
        try {
            PrintIntermediateStatistics(item, moment);
        } catch (const std::exception&) {
        }
    }
}

void TarveddeMain::SaveAtProgramEnd(SaveMoment moment) {
    RetryRefusedWrites(true);
    SaveStatisticsReport();
    // Items with a time frame today were left out of the statistics above, so their sums
    // still end at their last sample; the others' chains go on from the statistics' moment,
    // so nothing counts twice.
    if (store_.SaveIntermediateState(config_, processor_.Values(), integrator_.States(),
                                     dde_.ItemsLinked() || dayStateAcquired_, true, moment) != 0) {
        finalSaveFailed_ = true;
        log_.WriteLog(
            "Beim Speichern der Zwischenwerte sind Fehler \r\naufgetreten ! Bitte prüfen Sie "
            "die Log-Datei.");
    }
    log_.WriteDDEInfo("------------------------------ Programm beendet.  ");
    (void)log_.FlushDDEInfo();
}

void TarveddeMain::DestroyMain() {
    if (!startAborted_ && config_.Settings().sourceKind != SourceKind::Opc) {
        CloseDDE();
    }
    log_.FlushMessageListAtEnd();
    instanceLock_.reset();
    if (!startAborted_) {
        DeleteIfExists(host_.files, config_.PathOf(kActiveMarkerFile));
    }
    // Only now: a client that starts meanwhile must not find the marker without the lock.
    directoryLock_.reset();
}

// The outside watchdog creates the file and restarts the client when it stays.
void TarveddeMain::Timer_totTimer() {
    if (!config_.Settings().checkDead) {
        timerTot_->SetEnabled(false);
        return;
    }
    DeleteIfExists(host_.files, config_.PathOf(kDeadMarkerFile));
}

// The running day's end, when acquisition was held before it (stopped, the server away)
// and the clock passed it: the next start's day change closes that day with the figures up
// to its end, and the hours after it were never acquired. Acquiring until the close, the
// time since the day's end stays with the day, as no later day keeps it.
std::optional<SaveMoment> TarveddeMain::HeldDayEnd(double now) const {
    const double dayEnd = RunningDayEnd();
    if (now <= dayEnd || heldSince_.wallTime < 0.0 || heldSince_.wallTime > dayEnd) {
        return std::nullopt;
    }
    if (heldSince_.elapsedMs < 0) {
        return SaveMoment{dayEnd, -1};
    }
    // In UTC where the zone is known: summer time may begin or end between the two.
    const TimeZone* zone = host_.localZone;
    const std::int64_t spanMs =
        zone != nullptr
            ? zone->FromLocalMs(ToUnixMs(dayEnd)) - zone->FromLocalMs(ToUnixMs(heldSince_.wallTime))
            : ToUnixMs(dayEnd) - ToUnixMs(heldSince_.wallTime);
    return SaveMoment{dayEnd, heldSince_.elapsedMs + spanMs};
}

void TarveddeMain::PrintIntermediateStatistics(int item, SaveMoment moment) {
    // The extraneous-water share is a whole day's: the day's figures so far would give a
    // nonsense share, dated the day before, in Fremdwasser.txt. So these blocks hand their
    // figures to a calculation that is never configured.
    ExtraneousWater notADay{host_.files, log_, locale_};
    StatisticsRun run{memo2_,
                      log_.StatisticsSnapshot(),
                      notADay,
                      locale_,
                      moment.now,
                      moment.nowMs,
                      statisticsHost_.RunningDay(),
                      std::min(config_.Settings().itemCount, maxItems)};
    BuildItemStatistics(
        item,
        {config_.Items()[item], processor_.Values().statistics[item],
         fifteenMinuteValues_.States()[item], movingAverages_.States()[item],
         integrator_.StatesForDayChange(), SetAsideAmount(store_.NightSums()[item])},
        run);
}

DayProtocolFiles TarveddeMain::ProtocolFiles() {
    return {host_.files, log_, config_.ProgramDir(), config_.Settings().reportFontSize};
}

void TarveddeMain::SaveStatisticsReport() {
    (void)SaveStatisticsWindow(memo2_, statisticsHost_.StatisticsDay(), ProtocolFiles());
}

// Warnings and intermediate statistics live only in the window until it is saved: a kill
// would lose them. Saved after the cycle that changed it. A warning that stands adds its
// lines every cycle: the longer the window, the longer the wait before the next save, so
// a day of it writes in proportion to the day and not to its square.
void TarveddeMain::SaveChangedStatisticsReport() {
    const std::int64_t now = host_.clock.ElapsedMs();
    if (memo2_.Revision() == savedReportRevision_ || now < nextReportSaveMs_) {
        return;
    }
    const auto lines = static_cast<std::int64_t>(memo2_.Paragraphs().size());
    nextReportSaveMs_ = now + std::max(kReportSaveSpacingMs, lines * kReportSaveMsPerLine);
    const double day = statisticsHost_.StatisticsDay();
    if (SaveStatisticsWindowQuietly(memo2_, day, ProtocolFiles())) {
        savedReportRevision_ = memo2_.Revision();
        reportSaveRefused_ = false;
    } else if (!std::exchange(reportSaveRefused_, true)) {
        log_.WriteLog("Statistik " + DayProtocolName(day) +
                      " konnte nicht gesichert werden ! Sie wird wiederholt.");
    }
}

}  // namespace tarvedde
