// The start-up sequence of the main window's first showing: source initialisation,
// the running day's state, the configuration, the day files and the automatic start.
#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "engine/statistics/day_protocol.h"
#include "engine/statistics/time_frames.h"
#include "outputs/day_file_names.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// $clean: the last save's flags on its first line, the day of the save on its second
// ("" from an older version, or damaged).
struct MarkerText {
    std::optional<int> flags;
    std::string day;
};

MarkerText ReadMarker(const FileSystem& files, const std::string& path) {
    MarkerText marker;
    const auto lines = ReadLines(files, path);
    if (!lines || lines.value().empty()) {
        return marker;
    }
    if (const auto flags = StrToInt(lines.value().front())) {
        marker.flags = flags.value();
    }
    if (lines.value().size() >= 2) {
        marker.day = lines.value()[1];
    }
    return marker;
}

// A day file of a day after `savedDay`: a client ran on that day, so a state of the saved
// day (a backup put back) is not the last of it, and that client closed it already.
bool LaterDayRecorded(const FileSystem& files, const Configuration& config, double savedDay,
                      double today) {
    for (double day = savedDay + 1.0; day <= today; day += 1.0) {
        if (files.Exists(config.PathOf(DayDateText(DecodeDate(day)) + ".DAT"))) {
            return true;
        }
    }
    return false;
}

}  // namespace

void TarveddeMain::FormShow() {
    StartSequenceHeader();
    if (!InitDDE()) {
        dde_.MarkUnlinked();
        host_.op.ShowMessage("DDE-System kann nicht initialisiert werden !");
        window_.btStartDDEEnabled = false;
        window_.Changed();
        return;
    }
    startReadTheDay_ = true;
    (void)CreateEmptyFile(host_.files, config_.PathOf(kActiveMarkerFile));
    stateClean_ = false;
    config_.SetOpcCloseCount(5);
    if (permanentAtCreation_) {
        ReadSavedDay();
    }
    ReadCleanMarker();
    LoadRunningDayProtocol();
    ShowRestartHeading();
    if (config_.Settings().sourceKind == SourceKind::Aqasys) {
        window_.menuEnabled["Einzel1"] = false;
        window_.menuEnabled["Integral1"] = false;
    } else {
        window_.menuEnabled["AqasysAbrufen1"] = false;
    }
    if (permanentAtCreation_) {
        store_.RestoreMirrorOffsets(config_, processor_.ValuesToRestore().mirrorSumOffsets,
                                    Marker());
    }
    store_.ConvertConfigFile(config_);
    if (LoadConfiguration()) {
        CreateMissingStateFiles();
    }
    timerDDE_->SetInterval(config_.Settings().cycleIntervalMs);
    config_.LoadItemOptions();
    LoadTimeFrames();
    const GeneralSettings& settings = config_.Settings();
    if (settings.sourceKind == SourceKind::Opc) {
        opc_.SetUpAtProgramStart();
        window_.eHost = settings.opcHost;
        log_.WriteLog("OPC-Host : " + settings.opcHost);
        log_.WriteLog("OPC-ProgID : " + settings.opcServer);
    }
    if (settings.permanentMode) {
        SyncTimeFrames();
    }
    window_.lbAus = std::string(SourceKindName(settings.sourceKind)) + " nicht gestartet";
    window_.groupBox1Visible = settings.permanentMode;
    window_.groupBox2Visible = !settings.permanentMode;
    if (settings.permanentMode) {
        PermanentModeStart();
    } else {
        AqasysModeStart();
    }
    window_.Changed();
}

void TarveddeMain::StartSequenceHeader() {
    const std::string kindName = SourceKindName(config_.Settings().sourceKind);
    MainWindowModel& window = window_;
    window.caption = "Tarvewater Online " + kindName + "-Client - " + kProgramVersion;
    window.menuCaption["Grafik1"] = kindName + "-Werte einstellen";
    window.menuEnabled["OPC1"] = config_.Settings().sourceKind == SourceKind::Opc;
    window.btStartDDE = kindName + " starten";
    window.btStoppen = kindName + " stoppen";
    log_.WriteLog("Neustart");
    if (config_.Settings().nullStart) {
        log_.WriteLog("Nullstart");
    }
}

// AktuTag names the day whose data the state files hold; state of another day must
// never be restored as today's, so $clean goes and the day starts from zero. A day
// ended while the client was not running is the exception: its state is restored under
// its own name and the first cycle closes it with the day change statistics. $clean's
// second line names the day of the last save, which decides where AktuTag is stale.
void TarveddeMain::ReadSavedDay() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    const std::string today = FormatDateTime("dd.mm.yyyy", cycle_.cycleTime, locale_);
    const std::string yesterday = FormatDateTime("dd.mm.yyyy", cycle_.cycleTime - 1.0, locale_);
    config_.ReadSavedDayKeys(ini, yesterday);
    auto savedDate = StrToDate(config_.Settings().savedDay, locale_);
    if (savedDate && savedDate.value() == DateOf(cycle_.cycleTime)) {
        return;
    }
    const MarkerText marker = ReadMarker(host_.files, config_.PathOf(kCleanMarkerFile));
    // The day change's write of AktuTag failed (it was logged then; a read-only INI fails
    // every day): the state is the last save's day's all the same, today's or one that
    // ended since, whose statistics are still to come.
    const auto markerDate = StrToDate(marker.day, locale_);
    const bool endedSince = markerDate && markerDate.value() < DateOf(cycle_.cycleTime) &&
                            (!savedDate || markerDate.value() > savedDate.value());
    if (marker.day == today || endedSince) {
        log_.WriteLog("AktuTag=" + config_.Settings().savedDay +
                      " ist veraltet: die Zwischendaten gehören zum " + marker.day + ".");
        SaveDay(ini, marker.day, "DDE-INI Schreiben : Fehler 2");
        if (marker.day == today) {
            return;
        }
        savedDate = markerDate;
    }
    const double todayDate = DateOf(cycle_.cycleTime);
    if (savedDate && savedDate.value() < todayDate &&
        LaterDayRecorded(host_.files, config_, savedDate.value(), todayDate)) {
        log_.WriteLog("Die Zwischendaten vom " + config_.Settings().savedDay +
                      " sind älter als die Tagesdateien: sie werden nicht übernommen.");
        // A day change the backup had pending was closed by the client that ran since.
        DropPendingDayChange();
    } else if (savedDate && savedDate.value() < todayDate &&
               EndedDayRestorable(marker.flags, marker.day)) {
        runningDay_ = DecodeDate(savedDate.value());
        // Pending, the state holds the day before the saved one.
        const double statisticsDay =
            config_.Settings().customNewDay ? PendingDay() : savedDate.value();
        log_.WriteLog("Tageswechsel ohne laufenden Client: die Statistik für " +
                      FormatDateTime("dd.mm.yyyy", statisticsDay, locale_) +
                      " folgt mit dem ersten Messwert.");
        return;
    }
    DeleteIfExists(host_.files, config_.PathOf(kCleanMarkerFile));
    log_.WriteLog("Kein Tageswechsel registriert. Daten werden initialisiert.");
    (void)schema::Write(ini, schema::kAktuTag, today);
    config_.SetSavedDay(today);
}

// Only state whose day accumulators can be trusted, saved on the day AktuTag names (the
// marker's second line; AktuTag alone may be stale or missing), is worth a day's
// statistics.
bool TarveddeMain::EndedDayRestorable(std::optional<int> flags, const std::string& day) const {
    if (config_.Settings().nullStart || day != config_.Settings().savedDay) {
        return false;
    }
    return flags && StateMarker{flags.value() >= 0, flags.value()}.Trusts(kConfigFailedBit);
}

void TarveddeMain::ReadCleanMarker() {
    const GeneralSettings& settings = config_.Settings();
    const auto flags = ReadMarker(host_.files, config_.PathOf(kCleanMarkerFile)).flags;
    if (!flags) {
        return;
    }
    stateFlags_ = flags.value();
    stateClean_ = stateFlags_ >= 0;
    if (stateFlags_ > 0) {
        log_.WriteLog(
            "Beim Speichern der Zwischendaten war ein Fehler \r\naufgetreten ! Bitte überprüfen "
            "Sie Ihre Messwerte.");
    }
    if (stateFlags_ > 15 && !settings.nullStart) {
        log_.WriteLog("Ihre " + std::string(SourceKindName(settings.sourceKind)) +
                      "-Konfiguration könnte fehlerhaft sein !");
    }
}

// A start during the day goes on with the day's protocol; otherwise the next save would
// replace the file with only what came after the start.
void TarveddeMain::LoadRunningDayProtocol() {
    const GeneralSettings& settings = config_.Settings();
    LoadDayProtocol(memo2_, statisticsHost_.StatisticsDay(), settings.maxReportSize,
                    {host_.files, log_, config_.ProgramDir(), settings.reportFontSize});
}

void TarveddeMain::ShowRestartHeading() {
    cycle_.cycleTime = host_.clock.Now();
    window_.piDate1 = cycle_.cycleTime;
    AppendStatisticsHeading(memo2_, "Neustart: Übersicht für " +
                                        FormatDateTime("dddddd (t)", cycle_.cycleTime, locale_));
}

bool TarveddeMain::LoadConfiguration(Configuration::ItemCount count) {
    const bool permanent =
        config_.Load({store_.ConfigRecordsToLoad(), window_.it1, grid_, diary_}, count);
    extraneousWater_.SetSettings(config_.Settings().extraneousWater);
    return permanent;
}

void TarveddeMain::PermanentModeStart() {
    // No acquisition starts on a configuration that failed to load (an empty or garbled
    // INI): compared with it, the day's files and state would look like another
    // configuration's and start anew, and the close would save them empty.
    // Mended later in the settings dialog, it would acquire into files never opened, from
    // figures never restored: only a new start reads the day.
    if (!config_.Settings().configValid) {
        startReadTheDay_ = false;
        log_.WriteLog(
            "Konfiguration fehlerhaft: Tagesdateien und Zwischendaten bleiben unverändert.");
        SuspendUntilRestart();
        return;
    }
    OpenDayFiles();
    store_.RestoreCounterDifferences(config_, processor_.ValuesToRestore().counterDifferences,
                                     Marker());
    if (config_.Settings().configValid) {
        InitialiseItemsAtStart();
    }
    timerDDE_->SetEnabled(false);
    config_.UpdateCycleInterval();
    timerDDE_->SetInterval(config_.Settings().cycleIntervalMs);
    store_.RestoreDayAccumulators(config_, processor_.ValuesToRestore().statistics,
                                  integrator_.StatesToRestore(), Marker());
    store_.RestoreNightSums(config_, integrator_.StatesToRestore(), Marker());
    TakeLastRecordedCycle();
    memo2_.Append("");
    log_.StatisticsSnapshot().Clear();
    log_.SaveStatisticsSnapshot();
    if (!dde_.Linking()) {
        AutoStart();
    }
}

// A table or frame time passed while the program was down is crossed by the first cycle,
// as one passed while acquisition stood; without it the time's line is missing and the
// next one holds the periods of both. The last cycle of the restored day is its data
// file's last row (written with every cycle, before the state).
void TarveddeMain::TakeLastRecordedCycle() {
    // Only a restored day goes on: a day started afresh has no period to report.
    const StateMarker marker = Marker();
    if (config_.Settings().nullStart || !marker.Trusts(kConfigFailedBit) ||
        !marker.Trusts(kNightFailedBit)) {
        return;
    }
    const auto last = dayFiles_.LastRowTime(runningDay_);
    if (last && DecodeDate(*last) == runningDay_ && *last <= host_.clock.Now()) {
        cycle_.previousCycleTime = *last;
    }
}

void TarveddeMain::AutoStart() {
    if (!config_.Settings().autoStart) {
        return;
    }
    if (dde_.ConnectionLost()) {
        log_.WriteLog("Es wird versucht, die Verbindung herzustellen...");
        timerAuto_->SetEnabled(true);
        return;
    }
    StartAcquisition();
}

void TarveddeMain::InitialiseItemsAtStart() {
    dayFiles_.SetTransferEveryCycle(true);
    dayFiles_.SetDatEveryCycle(true);
    log_.WriteLog("Initialisierung beim Start...");
    processor_.ResetDayStatistics();
    for (int n = 1; n <= maxItems; ++n) {
        integrator_.ClearForStart(n);
    }
    diary_.ClearValues();
    // On OPC the links only set up the items' scaling and mark them linked.
    const SourceKind kind = config_.Settings().sourceKind;
    if (kind == SourceKind::Dde || kind == SourceKind::Opc) {
        (void)LinkItems(AfterLinking::AutoStart);
    }
}

void TarveddeMain::AqasysModeStart() {
    aqasys_.StartUp();
}

// The start after the day change is a cold start: the outside watchdog starts the
// program again once it closed after the day's statistics. The request is written only
// then: written at the tick, any other restart that day would start cold too and lose
// the day's values so far.
void TarveddeMain::Neustart1Click() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    if (restartAfterDayChange_) {
        restartAfterDayChange_ = false;
        (void)schema::Write(ini, schema::kNullstart, false);
        return;
    }
    const std::string time =
        FormatDateTime("hh:nn:ss", config_.Settings().customDayChangeTime, locale_);
    if (host_.op.Ask("Wirklich nach " + time + " beenden ?", QuestionButtons::YesNo) !=
        Answer::Yes) {
        return;
    }
    restartAfterDayChange_ = true;
    host_.op.ShowMessage("DDE-WACHE.EXE muss gestartet sein !");
}

void TarveddeMain::CloseForRestart() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    (void)schema::Write(ini, schema::kNullstart, true);
    closingForRestart_ = true;
    log_.WriteLog("Beenden für Neustart....");
    Close();
}

bool TarveddeMain::InitDDE() {
    return dde_.InitDDE();
}
void TarveddeMain::SyncTimeFrames() {
    timeFrameStatistics_.SyncTimeFrames(TimeOfDayOf(host_.clock.Now()));
}

void TarveddeMain::LoadTimeFrames() {
    extraneousWater_.SetProgramDir(config_.ProgramDir());
    timeFrameStatistics_.LoadTimeFrames(timeFrameStatistics_.TablePlacingTime(), host_.op);
}

}  // namespace tarvedde
