// The frame's steps around the day files: when they are opened, created for a new day,
// written at the end of a cycle or versioned by the operator, and the state files that
// start anew with a new version of the day's files.
#include "engine/frame/tarvedde_main.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr const char* kBufferFiles[] = {kOldMovingStateFile, kCounterStateFile, kMirrorStateFile};

}  // namespace

void TarveddeMain::OpenDayFiles() {
    const bool endedDay = runningDay_ != DecodeDate(cycle_.cycleTime);
    DayFileWriter::Opened opened = dayFiles_.Open(runningDay_, !endedDay);
    if (opened.otherConfiguration) {
        DropUnclosedDay();
        opened = dayFiles_.Open(runningDay_);
    }
    newDayFileCreated_ = opened.dataFileCreated;
    if (opened.newVersion) {
        RecreateCumulativeStateFiles();
        // The other state records belong to items by position or number: after a change of
        // the items a meter would take another meter's last reading and count the gap
        // between them. They start afresh, as the day's figures do.
        stateFlags_ |= kCounterFailedBit | kMovingFailedBit | kFifteenMinuteFailedBit;
        log_.WriteLog("Neustart : Neue Headerdatei erzeugt.");
        if (config_.Settings().customNewDay) {
            DropUnclosedDay();
        }
    }
}

// A day whose statistics are still due (it ended while the client was down, or its
// postponed day change is pending), saved with other items than the ones the client runs
// with now: its state cannot close it (the day change would write a day of zeros over its
// protocol and diary values), and an ended day's files stay as they are. Today starts
// afresh, as after a day change no client saw.
void TarveddeMain::DropUnclosedDay() {
    log_.WriteLog("Keine Tageswechselstatistik für " +
                  FormatDateTime("dd.mm.yyyy", statisticsHost_.StatisticsDay(), locale_) +
                  ": die Zwischendaten gehören zu anderen Items.");
    DropPendingDayChange();
    const DateParts today = DecodeDate(cycle_.cycleTime);
    if (runningDay_ != today) {
        DeleteIfExists(host_.files, config_.PathOf(kCleanMarkerFile));
        stateClean_ = false;
        IniFile ini(host_.files, config_.PathOf(kMainIniFile));
        SaveDay(ini, FormatDateTime("dd.mm.yyyy", cycle_.cycleTime, locale_),
                "DDE-INI Schreiben : Fehler 2");
        runningDay_ = today;
        store_.RestoreMirrorOffsets(config_, processor_.ValuesToRestore().mirrorSumOffsets,
                                    Marker());
    }
    memo2_.Clear();
    LoadRunningDayProtocol();
    ShowRestartHeading();
}

// A postponed day change whose state is gone would close its day with zeros.
void TarveddeMain::DropPendingDayChange() {
    if (!config_.Settings().customNewDay) {
        return;
    }
    postponedDay_ = 0.0;
    config_.SetCustomNewDay(false);
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    WriteIniFailure(schema::Write(ini, schema::kCustomNewDay, false),
                    "DDE-INI Schreiben : Fehler 1");
}

void TarveddeMain::RecreateCumulativeStateFiles() {
    (void)store_.CreateConfigFile(config_, integrator_.StatesToRestore());
    (void)store_.CreateNightFile(config_);
}

void TarveddeMain::CreateMissingStateFiles() {
    if (!host_.files.Exists(config_.PathOf(kConfigStateFile))) {
        (void)store_.CreateConfigFile(config_, integrator_.StatesToRestore());
    }
    if (!host_.files.Exists(config_.PathOf(kNightStateFile))) {
        (void)store_.CreateNightFile(config_);
    }
}

void TarveddeMain::CreateNewDayFiles() {
    runningDay_ = DecodeDate(tickTime_);
    dayFiles_.CreateForNewDay(runningDay_);
}

void TarveddeMain::WriteDiaryData() {
    WriteDiaryData(runningDay_, cycle_.cycleTime, cycle_.cycleElapsedMs);
}

void TarveddeMain::WriteDiaryData(const DateParts& day, double at, std::int64_t atMs,
                                  bool gridOfTheDay) {
    if (!config_.Settings().diaryOutput) {
        return;
    }
    diary_.TransferDiaryData(
        dayFiles_.FilesFor(day),
        {config_.Items(), config_.Settings().itemCount, grid_, processor_.Values().statistics,
         integrator_.States(), movingAverages_.States(), locale_, at, host_.clock.Now(), atMs,
         gridOfTheDay});
}

void TarveddeMain::WriteDiaryAndViewerFiles() {
    WriteDiaryData();
    dayFiles_.WriteViewerFile(runningDay_, {grid_, integrator_.States(), movingAverages_.States(),
                                            cycle_.cycleTime, cycle_.cycleElapsedMs});
}

void TarveddeMain::WriteSampleAndDayRecords() {
    dayFiles_.WriteCycleRows(runningDay_, grid_, cycle_.cycleTime);
}

void TarveddeMain::Tagesdatenloeschen1Click() {
    if (host_.op.Ask("Neue Dateien erzeugen und Statistik initialisieren ?",
                     QuestionButtons::YesNo) != Answer::Yes) {
        return;
    }
    dayFiles_.StartNextVersion(runningDay_);
    RecreateCumulativeStateFiles();
    dayStatistics_.SummenOffsetgespiegelteWerte1Click();
    dayStatistics_.MinimaMaxima1Click();
    dayStatistics_.MittelwerteSummen1Click();
    bool deleted = true;
    for (const char* name : kBufferFiles) {
        deleted = DeleteIfExists(host_.files, config_.PathOf(name)) && deleted;
    }
    if (!deleted) {
        host_.op.ShowMessage("Fehler beim Löschen von Zwischenspeicher-Dateien !");
    }
}

}  // namespace tarvedde
