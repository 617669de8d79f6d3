// The acquisition cycle: every TimerDDE tick checks the previous cycle and the
// connection, detects the change of day (at midnight, or with the postponed day change
// at CustomTime), passes every item through per-value processing and ends with the
// output files and the state save. Ticks never overlap: the timer is off during a tick.
#include <exception>

#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "engine/persistence/state_files.h"
#include "engine/processing/per_value_processing.h"
#include "engine/statistics/day_protocol.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// The saved state belongs to the day that ends here, and only the save at the end of this
// cycle replaces it. A crash before then must not let the next start take it for the new
// day's: without $clean the start trusts none of the state files.
void DistrustSavedState(FileSystem& files, const Configuration& config) {
    (void)DeleteIfExists(files, config.PathOf(kCleanMarkerFile));
}

// A set-back longer than this is no correction of a few minutes across midnight.
constexpr double kLongestClockSetBack = 1.0 / 24.0;

}  // namespace

// A failure that escapes a cycle must neither end the program nor leave the cycle marked
// as running, which would turn every later tick into a timeout.
void TarveddeMain::TimerDDETimer() {
    try {
        RunCycleTick();
    } catch (const std::exception&) {
        log_.WriteLog("Main : Exception (1)");
        cycleComplete_ = true;
        timerDDE_->SetEnabled(!stopped_);
    }
}

void TarveddeMain::RunCycleTick() {
    timerDDE_->SetEnabled(false);
    if (dde_.ConnectionLost()) {
        HoldAcquisition();
        timerAuto_->SetEnabled(true);
        return;
    }
    // Without an OPC server the last values would be counted as new ones until the
    // watchdog gives up: no cycle runs until it has connected again.
    if (OpcServerLost()) {
        HoldAcquisition();
        timerDDE_->SetEnabled(true);
        return;
    }
    heldSince_ = ElapsedMark{};
    tickTime_ = host_.clock.Now();
    if (!cycleComplete_) {
        timerDDE_->SetEnabled(true);
        window_.lbTimeoutVisible = true;
        window_.Changed();
        log_.WriteLog("*** TimeOut");
        timeoutCounter_ = 1;
        return;
    }
    WerteLesen();
    timerDDE_->SetEnabled(true);
    dayStateAcquired_ = dayStateAcquired_ || dde_.ItemsLinked();
    (void)store_.SaveIntermediateState(config_, processor_.Values(), integrator_.States(),
                                       dde_.ItemsLinked(), false,
                                       {cycle_.cycleTime, cycle_.cycleElapsedMs});
}

void TarveddeMain::HoldAcquisition() {
    if (heldSince_.wallTime < 0.0) {
        heldSince_ = ElapsedMark{host_.clock.ElapsedMs(), host_.clock.Now()};
    }
}

bool TarveddeMain::OpcServerLost() {
    if (config_.Settings().sourceKind != SourceKind::Opc || opc_.Connected()) {
        opcLossLogged_ = false;
        return false;
    }
    // Once per outage: the skipped cycles would otherwise fill the log.
    if (!opcLossLogged_) {
        log_.WriteLog("*** OPC-Verbindung unterbrochen ! Keine Messwerte bis zum Neustart.");
        opcLossLogged_ = true;
    }
    return true;
}

void TarveddeMain::WerteLesen() {
    cycleComplete_ = false;
    const std::int64_t tickElapsedMs = host_.clock.ElapsedMs();
    const DateParts date = DecodeDate(tickTime_);
    const DateParts& day = runningDay_;
    // The day only moves forward: the running day's statistics, files and AktuTag stay
    // while a clock set back a little stands before it, and its rows go to the running
    // day's files. Set back further, the running day came from a clock that was wrong
    // (a day change would wait for that date): the clock's date is taken back.
    const double dayStart = EncodeDate(day.year, day.month, day.day);
    if (tickTime_ < dayStart - kLongestClockSetBack) {
        TakeBackClockDate(date);
    } else if (DateOf(tickTime_) < dayStart) {
        NoteClockSetBack();
    } else {
        clockSetBack_ = false;
        const bool dayClosed = config_.Settings().customNewDay && RunPostponedDayChange();
        if (date != runningDay_) {
            DetectDayChange(date, dayClosed);
        }
    }
    integrator_.SetDayEnd(RunningDayEnd());
    if (timeoutCounter_ > 0) {
        if (timeoutCounter_ == 1) {
            log_.WriteLog("*** Nächster Messwert.");
        }
        --timeoutCounter_;
    }
    window_.lbTimeoutVisible = false;
    window_.lbGetDDEItemsVisible = true;
    window_.Changed();

    processor_.BeginCycle();
    cycle_.cycleTime = tickTime_;
    cycle_.cycleElapsedMs = tickElapsedMs;
    const CycleData cycle{cycle_, window_.lbDT, dde_.Sources(), integrator_.States(), grid_};
    while (!processor_.ProcessNextItem(cycle)) {
    }
    processor_.FinishItems(cycle);
    // Left unfinished, the cycle would turn every later tick into a timeout: acquisition
    // would stand until a restart.
    try {
        EndOfCycle();
    } catch (...) {
        log_.WriteLog("Main : Exception (2)");
        cycleComplete_ = true;
    }
}

// Due at the first cycle at or after the pending day's end, which may be days later (no
// cycle between CustomTime and midnight, acquisition stood over it): a wait for the time
// of day alone would keep one day's statistics and files for all of them. True when the
// statistics ran.
bool TarveddeMain::RunPostponedDayChange() {
    // Taken while the flag stands: without it the day would end a day later.
    const double dayEnd = RunningDayEnd();
    // Switched off while pending, the postponed statistics run at once.
    if (config_.Settings().customDayChange && tickTime_ < dayEnd) {
        return false;
    }
    DistrustSavedState(host_.files, config_);
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    config_.SetCustomNewDay(false);
    WriteIniFailure(schema::Write(ini, schema::kCustomNewDay, false),
                    "DDE-INI Schreiben : Fehler 1");
    // Kept while the statistics run: the files they write are the ended day's.
    const double endedDay = PendingDay();
    postponedDay_ = endedDay;
    try {
        RunDayChangeStatistics(endedDay + TimeOfDayOf(tickTime_), dayEnd);
    } catch (...) {
        postponedDay_ = 0.0;
        throw;
    }
    postponedDay_ = 0.0;
    log_.WriteLogDetail(
        "Statistik bei verspätetem Tageswechsel (" +
        FormatDateTime("hh:nn:ss", config_.Settings().customDayChangeTime, locale_) + ").");
    // Past a second midnight, this cycle's day change goes on from here.
    if (DecodeDate(tickTime_) != runningDay_) {
        return true;
    }
    const std::string day = FormatDateTime("dd.mm.yyyy", tickTime_, locale_);
    if (config_.Settings().savedDay != day) {
        SaveDay(ini, day, "DDE-INI Schreiben : Fehler 2");
    }
    // The time tables later in this cycle write the new day's intermediate values.
    dayFiles_.Sync(runningDay_);
    if (restartAfterDayChange_) {
        CloseForRestart();
    }
    return true;
}

void TarveddeMain::TakeBackClockDate(const DateParts& date) {
    const std::string day = FormatDateTime("dd.mm.yyyy", tickTime_, locale_);
    log_.WriteLog(
        "Uhr zurückgestellt: " + FormatDateTime("dd.mm.yyyy hh:nn:ss", tickTime_, locale_) +
        ", der Tag " + day + " gilt wieder.");
    runningDay_ = date;
    detectedDay_ = date;
    clockSetBack_ = false;
    // Only bound anew, the data file would stay the wrong day's for the rest of the day.
    dayFiles_.Reopen(runningDay_);
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    SaveDay(ini, day, "DDE-INI Schreiben : Fehler 2");
    // Pending, the day was never closed: the window still holds its protocol.
    if (!LeavePendingDayChange()) {
        ReloadTakenBackDayProtocol();
    }
}

// The day whose statistics were pending runs again (or one before it): they follow its
// own end, and a flag left set would print them at once under a wrong day.
bool TarveddeMain::LeavePendingDayChange() {
    if (!config_.Settings().customNewDay) {
        return false;
    }
    postponedDay_ = 0.0;
    config_.SetCustomNewDay(false);
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    WriteIniFailure(schema::Write(ini, schema::kCustomNewDay, false),
                    "DDE-INI Schreiben : Fehler 1");
    log_.WriteLog("Verspäteter Tageswechsel aufgehoben: die Statistik folgt nach dem Tag " +
                  FormatDateTime("dd.mm.yyyy", tickTime_, locale_) + ".");
    return true;
}

// The taken-back day was closed before: closed again, it must add to its protocol, not
// replace it. What the window showed since stays, below the protocol.
void TarveddeMain::ReloadTakenBackDayProtocol() {
    const std::string name = DayProtocolName(tickTime_);
    if (!host_.files.Exists(config_.PathOf(name))) {
        return;
    }
    const std::vector<RichParagraph> shown = memo2_.Paragraphs();
    const TextAttributes current = memo2_.Attributes();
    LoadRunningDayProtocol();
    for (const RichParagraph& paragraph : shown) {
        memo2_.SetAttributes(paragraph.attributes);
        memo2_.Append(paragraph.text);
    }
    memo2_.SetAttributes(current);
    log_.WriteLog("Statistik " + name + " wieder geladen, die nächste Statistik wird angehängt.");
}

void TarveddeMain::NoteClockSetBack() {
    if (clockSetBack_) {
        return;
    }
    clockSetBack_ = true;
    const DateParts& day = runningDay_;
    log_.WriteLog(
        "Uhr zurückgestellt: " + FormatDateTime("dd.mm.yyyy hh:nn:ss", tickTime_, locale_) +
        " liegt vor dem Tag " +
        FormatDateTime("dd.mm.yyyy", EncodeDate(day.year, day.month, day.day), locale_) + ".");
}

// `dayClosed`: this cycle's postponed statistics closed the running day's figures already.
void TarveddeMain::DetectDayChange(const DateParts& date, bool dayClosed) {
    // Started again at every such cycle, a table would report at each of them.
    if (date != detectedDay_) {
        detectedDay_ = date;
        log_.CloseRawData();
        log_.WriteLogDetail("****** Tageswechsel erkannt !");
        ResetTimeTables();
        log_.WriteLogDetail(
            "Alle Zeittabellen auf Index 1 gesetzt. Nächster Zwischenwert nach 0 Uhr.");
    }
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    const std::string day = FormatDateTime("dd.mm.yyyy", tickTime_, locale_);
    const GeneralSettings& settings = config_.Settings();
    const bool postponed = settings.customDayChange;
    if (postponed && settings.customNewDay) {
        return;
    }
    if (!postponed) {
        DistrustSavedState(host_.files, config_);
        SaveDay(ini, day, "DDE-INI Schreiben : Fehler 2");
    }
    // The running day, not the day before the tick's: after days without a cycle (a
    // server down over a weekend) the statistics are still the running day's. Postponed,
    // they wait for the day's end, unless those days took the clock past it.
    const double dayEnd = RunningDayEnd();
    if (!dayClosed && (!postponed || tickTime_ >= dayEnd)) {
        if (postponed) {
            DistrustSavedState(host_.files, config_);
        }
        const double endedDay = EncodeDate(runningDay_.year, runningDay_.month, runningDay_.day);
        RunDayChangeStatistics(endedDay + TimeOfDayOf(tickTime_), dayEnd);
        log_.WriteLogDetail("Tageswechselstatistik ausgegeben.");
        dayClosed = true;
    }
    if (postponed) {
        // Before CustomTime the figures are the day before's.
        const double figuresDay = DateOf(tickTime_ - settings.customDayChangeTime);
        if (figuresDay < DateOf(tickTime_)) {
            PostponeDayChange(figuresDay, ini, day);
        } else {
            SaveDay(ini, day, "DDE-INI Schreiben : Fehler 2");
        }
    }
    CreateNewDayFiles();
    log_.WriteLogDetail("Dateien für neuen Tag erzeugt.");
    if (dayClosed && restartAfterDayChange_) {
        CloseForRestart();
    }
}

// The running day's figures go on until CustomTime, so its saved state stays good for the
// new date, but only with the flag that brings its statistics: the flag goes first.
void TarveddeMain::PostponeDayChange(double figuresDay, IniFile& ini, const std::string& day) {
    postponedDay_ = figuresDay;
    config_.SetCustomNewDay(true);
    WriteIniFailure(schema::Write(ini, schema::kCustomNewDay, true),
                    "DDE-INI Schreiben : Fehler 3");
    SaveDay(ini, day, "DDE-INI Schreiben : Fehler 4");
    log_.WriteLogDetail(
        "Neuer Tag. Flag für späteren Wechsel (" +
        FormatDateTime("hh:nn:ss", config_.Settings().customDayChangeTime, locale_) + ") gesetzt.");
}

// While the postponed day change is pending the files' day is the new one; the
// accumulators hold the day whose midnight set the flag, which after days without a cycle
// is not the day before; after a restart, the day before the saved one.
double TarveddeMain::PendingDay() const {
    return postponedDay_ > 0.0
               ? postponedDay_
               : EncodeDate(runningDay_.year, runningDay_.month, runningDay_.day) - 1.0;
}

// Where the day the accumulators hold ends: at midnight, or with the postponed day change
// at the CustomTime after it.
double TarveddeMain::RunningDayEnd() const {
    const GeneralSettings& settings = config_.Settings();
    if (settings.customNewDay) {
        return PendingDay() + 1.0 + settings.customDayChangeTime;
    }
    const double day = EncodeDate(runningDay_.year, runningDay_.month, runningDay_.day);
    return settings.customDayChange ? day + 1.0 + settings.customDayChangeTime : day + 1.0;
}

// AktuTag names the day the state files hold.
void TarveddeMain::SaveDay(IniFile& ini, const std::string& day, const char* failureText) {
    WriteIniFailure(schema::Write(ini, schema::kAktuTag, day), failureText);
    config_.SetSavedDay(day);
}

// A restart takes the day from these keys: one the disk refused is written again with
// every cycle until it takes it.
void TarveddeMain::WriteIniFailure(Status status, const char* failureText) {
    if (!status.ok()) {
        log_.WriteLog(failureText);
        dayKeysUnsaved_ = true;
    }
}

// What the day change writes for good and the disk refused: each cycle tries again, the
// program end a last time.
void TarveddeMain::RetryRefusedWrites(bool atProgramEnd) {
    dayStatistics_.RetryUnsavedProtocols(atProgramEnd);
    dayStatistics_.RetryUnsavedCounterReadings(atProgramEnd);
    RetryDayKeys();
}

void TarveddeMain::RetryDayKeys() {
    if (!dayKeysUnsaved_) {
        return;
    }
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    const GeneralSettings& settings = config_.Settings();
    if (schema::Write(ini, schema::kAktuTag, settings.savedDay).ok() &&
        schema::Write(ini, schema::kCustomNewDay, settings.customNewDay).ok()) {
        dayKeysUnsaved_ = false;
        log_.WriteLog("AktuTag und CustomNewDay nachträglich geschrieben.");
    }
}

void TarveddeMain::EndOfCycle() {
    cycle_.previousCycleTime = cycle_.cycleTime;
    cycle_.previousCycleElapsedMs = cycle_.cycleElapsedMs;
    window_.lbDT = FormatDateTime("hh:nn:ss", cycle_.cycleTime, locale_);
    window_.lbGetDDEItemsVisible = false;
    window_.Changed();
    if (log_.Settings().debugLog) {
        const LiveGrid& grid = grid_;
        for (int n = 1; n <= config_.Settings().itemCount; ++n) {
            const ItemConfig& item = config_.Items()[n];
            if (item.Grafiktyp == 1) {
                log_.WriteLogDebug("+ " + item.itemName + "  Anz=" + grid.Cell(n, 4) +
                                   "  Mit=" + grid.Cell(n, 1) + "  Sum=" + grid.Cell(n, 5));
            } else {
                log_.WriteLogDebug("+ " + item.itemName + "  Sum=" + grid.Cell(n, 4));
            }
        }
    }
    if (dayFiles_.TransferEveryCycle() || grid_.CurrentRow() == grid_.LastRow()) {
        WriteDiaryAndViewerFiles();
    }
    WriteSampleAndDayRecords();
    SaveChangedStatisticsReport();
    RetryRefusedWrites(false);
    grid_.NotifyChanged();
    cycleComplete_ = true;
}

void TarveddeMain::TimerAutoTimer() {
    try {
        RetryConnection();
    } catch (const std::exception&) {
        log_.WriteLog("Main : Exception (3)");
        timerAuto_->SetEnabled(true);
    }
}

// The retry starts at once, not at the next cycle, which may be an hour away; the cycle
// rests until the connection stands again, as when a tick finds it lost.
void TarveddeMain::ServerDisconnected() {
    HoldAcquisition();
    timerDDE_->SetEnabled(false);
    timerAuto_->SetEnabled(true);
}

void TarveddeMain::RetryConnection() {
    timerAuto_->SetEnabled(false);
    if (LinkItems(AfterLinking::RetryOutcome)) {
        RetryOutcome();
    }
}

void TarveddeMain::RetryOutcome() {
    if (!dde_.ConnectionLost()) {
        timerFirstValues_->SetEnabled(true);
        return;
    }
    host_.op.Beep();
    timerAuto_->SetEnabled(true);
}

void TarveddeMain::FirstValuesTimer() {
    timerFirstValues_->SetEnabled(false);
    if (dde_.ConnectionLost()) {
        timerAuto_->SetEnabled(true);
        return;
    }
    try {
        StartAcquisition();
        log_.WriteLog("Verbindung zum Server hergestellt.");
    } catch (const std::exception&) {
        log_.WriteLog("Main : Exception (3)");
        timerAuto_->SetEnabled(true);
    }
}

void TarveddeMain::RunDayChangeStatistics(double endedDay, double dayEnd) {
    dayStatistics_.DayChangeStatistics(tickTime_, endedDay, dayEnd);
}

void TarveddeMain::ResetTimeTables() {
    timeFrameStatistics_.ResetTimeTablesForNewDay();
}

}  // namespace tarvedde
