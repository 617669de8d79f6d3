#include "engine/frame/day_file_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "outputs/data_files.h"

namespace tarvedde {
namespace {

class LiveGridTexts final : public GridTexts {
public:
    explicit LiveGridTexts(const LiveGrid& grid) : grid_(grid) {}
    const std::string& Cell(int column, int row) const override { return grid_.Cell(column, row); }
    int CurrentRow() const override { return grid_.CurrentRow(); }
    int LastRow() const override { return grid_.LastRow(); }

private:
    const LiveGrid& grid_;
};

ViewerItem ViewerItemOf(const Configuration& config, const DayFileWriter::ViewerInputs& inputs,
                        int n) {
    const ItemConfig& itemConfig = config.Items()[n];
    const MovingAverageState& moving = inputs.moving[n];
    ViewerItem item;
    item.average = inputs.grid.Cell(n, 1);
    item.minimum = inputs.grid.Cell(n, 2);
    item.maximum = inputs.grid.Cell(n, 3);
    item.count = inputs.grid.Cell(n, 4);
    item.sum = inputs.grid.Cell(n, 5);
    item.integral = itemConfig.Integral;
    item.mirrored = itemConfig.mirror.mirrorOn;
    item.counter = itemConfig.Differenz;
    item.Grafiktyp = itemConfig.Grafiktyp;
    // A flow that stands sends no samples: its sum so far runs on at its last value.
    item.runningIntegral =
        IntegralUpTo(itemConfig, inputs.integration[n], inputs.cycleTime, inputs.cycleElapsedMs);
    item.movingAverages = itemConfig.Gleitend;
    item.movingAverage = moving.movingAverage;
    item.movingMinimum = moving.movingMinimum;
    item.movingMaximum = moving.movingMaximum;
    return item;
}

}  // namespace

DayFileWriter::DayFileWriter(const Configuration& config, FileSystem& files, ProgramLog& log,
                             const Locale& locale)
    : config_(config), log_(log), locale_(locale), files_(files, log, locale) {}

void DayFileWriter::Sync(const DateParts& day) {
    files_.SetProgramDir(config_.ProgramDir());
    files_.SetRunningDay(day);
    files_.SetPostponedDayPending(config_.Settings().customNewDay);
}

HeaderData DayFileWriter::CurrentHeader() const {
    HeaderData header;
    header.cycleIntervalMs = config_.Settings().cycleIntervalMs;
    header.permanentMode = config_.Settings().permanentMode;
    for (int n = 1; n <= config_.Settings().itemCount; ++n) {
        const ItemConfig& item = config_.Items()[n];
        header.items.push_back({item.serverItem, item.fileCalibrationSlope,
                                item.fileCalibrationIntercept, item.itemName, item.Grafiktyp,
                                item.GrafikRef, item.valueConversion.conversionUnit});
    }
    return header;
}

// The old header and day data keep the same version number, so they stay a pair.
// Tried again with every cycle's rows until the disk takes it (a disk full over midnight
// would leave the whole day's rows without their description).
void DayFileWriter::WriteHeader(const HeaderData& header) {
    const bool written = files_.WriteHeaderFile(header);
    if (written && headerPending_) {
        log_.WriteLog("Kopfdatei (.AQH) des Tages nachträglich geschrieben.");
    } else if (!written && !headerPending_) {
        log_.WriteLog(
            "Kopfdatei (.AQH) des Tages konnte nicht geschrieben werden, "
            "sie wird mit jedem Zyklus wiederholt !");
    }
    headerPending_ = !written;
}

void DayFileWriter::NextVersion(const HeaderData& header) {
    const int version = files_.HighestRenameNumber('H') + 1;
    files_.CreateTextFile('H', version);
    WriteHeader(header);
    files_.CreateTextFile('D', version);
}

DayFileWriter::Opened DayFileWriter::Open(const DateParts& day, bool versionOnChange) {
    return OpenFiles(day, true, versionOnChange);
}

void DayFileWriter::Reopen(const DateParts& day) {
    (void)OpenFiles(day, false);
}

DayFileWriter::Opened DayFileWriter::OpenFiles(const DateParts& day, bool atStart,
                                               bool versionOnChange) {
    Sync(day);
    Opened opened;
    opened.dataFileCreated = files_.CreateTextFile('D', 0);
    if (config_.Settings().viewerOutput) {
        files_.CreateTextFile('S', 0);
    }
    const HeaderData header = CurrentHeader();
    if (files_.CreateTextFile('H', 0) || files_.HeaderIsEmpty()) {
        WriteHeader(header);
        return opened;
    }
    if (files_.HeaderMatchesConfiguration(header)) {
        return opened;
    }
    if (atStart) {
        log_.WriteLog("****** Neustart : Geänderte Konfiguration festgestellt !");
    }
    if (!versionOnChange) {
        opened.otherConfiguration = true;
        return opened;
    }
    NextVersion(header);
    opened.newVersion = true;
    return opened;
}

void DayFileWriter::CreateForNewDay(const DateParts& day) {
    Sync(day);
    files_.CreateTextFile('D', 0);
    if (config_.Settings().viewerOutput) {
        files_.CreateTextFile('S', 0);
    }
    files_.CreateTextFile('H', 0);
    WriteHeader(CurrentHeader());
}

void DayFileWriter::StartNextVersion(const DateParts& day) {
    Sync(day);
    NextVersion(CurrentHeader());
}

bool DayFileWriter::StartNextVersionIfChanged(const DateParts& day) {
    Sync(day);
    const HeaderData header = CurrentHeader();
    // A header never written describes nothing yet: it is written, no new version.
    if (headerPending_ || files_.HeaderIsEmpty()) {
        WriteHeader(header);
        return false;
    }
    if (files_.HeaderMatchesConfiguration(header)) {
        return false;
    }
    NextVersion(header);
    return true;
}

void DayFileWriter::WriteViewerFile(const DateParts& day, const ViewerInputs& inputs) {
    if (!config_.Settings().viewerOutput) {
        return;
    }
    Sync(day);
    const GeneralSettings& settings = config_.Settings();
    std::vector<std::string> lines;
    for (int n = 1; n <= settings.itemCount; ++n) {
        lines.push_back(ViewerLineText(ViewerItemOf(config_, inputs, n), settings.formatPrecision,
                                       settings.formatDecimals, locale_));
    }
    WriteViewerDataFile(files_, lines, inputs.cycleTime);
}

std::optional<double> DayFileWriter::LastRowTime(const DateParts& day) {
    Sync(day);
    FileSystem& files = files_.Files();
    const std::string& path = files_.DayDataPath();
    const auto size = files.Size(path);
    if (path.empty() || !size) {
        return std::nullopt;
    }
    // A row holds at most 180 fields: its tail is enough.
    constexpr std::uint64_t kTail = 8192;
    const std::uint64_t from = size.value() > kTail ? size.value() - kTail : 0;
    const auto tail = files.ReadRange(path, from, size.value() - from);
    return tail ? tarvedde::LastRowTime(tail.value()) : std::nullopt;
}

void DayFileWriter::WriteCycleRows(const DateParts& day, const LiveGrid& grid, double cycleTime) {
    Sync(day);
    CycleRecord cycle;
    cycle.cycleTime = cycleTime;
    cycle.itemCount = config_.Settings().itemCount;
    cycle.viewerOutput = config_.Settings().viewerOutput;
    cycle.datEveryCycle = datEveryCycle_;
    if (headerPending_) {
        WriteHeader(CurrentHeader());
    }
    WriteSampleAndDayRows(files_, LiveGridTexts(grid), cycle);
}

}  // namespace tarvedde
