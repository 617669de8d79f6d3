// The engine's side of the day files: it names them after the running day, hands the
// configuration to the header and, at the end of every cycle, the live grid and the
// item statistics to the writers of the day, sample and viewer files. A configuration
// that changed during the day starts a new version of the day's files, so one day data
// file never mixes two column layouts.
#include "engine/frame/tarvedde_main.h"
#include "outputs/data_files.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr const char* kBufferFiles[] = {kOldMovingStateFile, kCounterStateFile, kMirrorStateFile};

class LiveGridTexts final : public GridTexts {
public:
    explicit LiveGridTexts(const LiveGrid& grid) : grid_(grid) {}
    const std::string& Cell(int column, int row) const override { return grid_.Cell(column, row); }
    int CurrentRow() const override { return grid_.CurrentRow(); }
    int LastRow() const override { return grid_.LastRow(); }

private:
    const LiveGrid& grid_;
};

const ItemConfig& ItemAt(const EngineState& state, int n) {
    return state.items[n];
}

void SyncDayFiles(EngineState& state) {
    state.dayFiles.SetProgramDir(state.programDir);
    state.dayFiles.SetRunningDay(state.currentDay);
    state.dayFiles.SetPostponedDayPending(state.settings.customNewDay);
}

HeaderData CurrentHeader(const EngineState& state) {
    HeaderData header;
    header.cycleIntervalMs = state.settings.cycleIntervalMs;
    header.permanentMode = state.settings.permanentMode;
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        const ItemConfig& item = ItemAt(state, n);
        header.items.push_back({item.serverItem, item.calibrationSlope, item.calibrationIntercept,
                                item.itemName, item.Grafiktyp, item.GrafikRef,
                                item.valueConversion.conversionUnit});
    }
    return header;
}

ViewerItem ViewerItemOf(const EngineState& state, int n) {
    const ItemConfig& config = ItemAt(state, n);
    const MovingAverageState& moving = state.moving[n];
    ViewerItem item;
    item.average = state.grid.Cell(n, 1);
    item.minimum = state.grid.Cell(n, 2);
    item.maximum = state.grid.Cell(n, 3);
    item.count = state.grid.Cell(n, 4);
    item.sum = state.grid.Cell(n, 5);
    item.integral = config.Integral;
    item.mirrored = config.mirror.mirrorOn;
    item.counter = config.Differenz;
    item.Grafiktyp = config.Grafiktyp;
    item.runningIntegral = state.integration[n].runningSum;
    item.movingAverages = config.Gleitend;
    item.movingAverage = moving.movingAverage;
    item.movingMinimum = moving.movingMinimum;
    item.movingMaximum = moving.movingMaximum;
    return item;
}

void RecreateCumulativeStateFiles(EngineState& state) {
    if (state.stateFileHooks.createConfigFile) {
        state.stateFileHooks.createConfigFile();
    }
    if (state.stateFileHooks.createNightFile) {
        state.stateFileHooks.createNightFile();
    }
}

// The old header and day data keep the same version number, so they stay a pair.
void StartNextFileVersion(EngineState& state, const HeaderData& header) {
    DayFiles& files = state.dayFiles;
    const int version = files.HighestRenameNumber('H') + 1;
    files.CreateTextFile('H', version);
    files.WriteHeaderFile(header);
    files.CreateTextFile('D', version);
    RecreateCumulativeStateFiles(state);
}

// The diary interface's data, written with the viewer file; without effect until the
// diary interface exists.
void WriteDiaryData(EngineState& /*state*/) {}

// The three manual re-initialisations (mirrored-sum offsets, minima and maxima,
// averages and sums); without effect until the day statistics exist.
void ReinitialiseDayStatistics(EngineState& /*state*/) {}

}  // namespace

void TarveddeMain::OpenDayFiles() {
    SyncDayFiles(state_);
    DayFiles& files = state_.dayFiles;
    newDayFileCreated_ = files.CreateTextFile('D', 0);
    if (state_.settings.viewerOutput) {
        files.CreateTextFile('S', 0);
    }
    const HeaderData header = CurrentHeader(state_);
    if (files.CreateTextFile('H', 0) || files.HeaderIsEmpty()) {
        files.WriteHeaderFile(header);
        return;
    }
    if (files.HeaderMatchesConfiguration(header)) {
        return;
    }
    log_.WriteLog("****** Neustart : Geänderte Konfiguration festgestellt !");
    StartNextFileVersion(state_, header);
    log_.WriteLog("Neustart : Neue Headerdatei erzeugt.");
}

void TarveddeMain::CreateNewDayFiles() {
    state_.currentDay = DecodeDate(state_.tickTime);
    SyncDayFiles(state_);
    DayFiles& files = state_.dayFiles;
    files.CreateTextFile('D', 0);
    if (state_.settings.viewerOutput) {
        files.CreateTextFile('S', 0);
    }
    files.CreateTextFile('H', 0);
    files.WriteHeaderFile(CurrentHeader(state_));
}

void TarveddeMain::WriteDiaryAndViewerFiles() {
    WriteDiaryData(state_);
    if (!state_.settings.viewerOutput) {
        return;
    }
    SyncDayFiles(state_);
    const GeneralSettings& settings = state_.settings;
    std::vector<std::string> lines;
    for (int n = 1; n <= settings.itemCount; ++n) {
        lines.push_back(ViewerLineText(ViewerItemOf(state_, n), settings.formatPrecision,
                                       settings.formatDecimals, locale_));
    }
    WriteViewerDataFile(state_.dayFiles, lines);
}

void TarveddeMain::WriteSampleAndDayRecords() {
    SyncDayFiles(state_);
    CycleRecord cycle;
    cycle.cycleTime = state_.cycleTime;
    cycle.itemCount = state_.settings.itemCount;
    cycle.viewerOutput = state_.settings.viewerOutput;
    cycle.datEveryCycle = state_.datEveryCycle;
    WriteSampleAndDayRows(state_.dayFiles, LiveGridTexts(state_.grid), cycle);
}

void TarveddeMain::Tagesdatenloeschen1Click() {
    if (host_.op.Ask("Neue Dateien erzeugen und Statistik initialisieren ?",
                     QuestionButtons::YesNo) != Answer::Yes) {
        return;
    }
    SyncDayFiles(state_);
    StartNextFileVersion(state_, CurrentHeader(state_));
    ReinitialiseDayStatistics(state_);
    bool deleted = true;
    for (const char* name : kBufferFiles) {
        deleted = DeleteIfExists(host_.files, state_.PathOf(name)) && deleted;
    }
    if (!deleted) {
        host_.op.ShowMessage("Fehler beim Löschen von Zwischenspeicher-Dateien !");
    }
}

}  // namespace tarvedde
