// The end-of-cycle diary transfer: the active positions' values into the values table and
// the diary data file that TARVEGET reads. Once a cycle for the whole plant; the file is
// written once, with its lines. Only when that fails does the transfer take the long way
// (the file created empty, else a substitute file, then the lines), so every failure is
// logged as it always was and in its place among the transfer's own log lines.
#include <exception>

#include "engine/diary/diary_interface.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr int kTransferLogLevel = 5;
constexpr int kPlainLog = -1;

bool Bit(int mask, int weekday) {
    return weekday >= 1 && weekday <= 7 && (mask >> (weekday - 1) & 1) != 0;
}

}  // namespace

// What a transfer changes, held back until its file is written or given up.
struct DiaryInterface::Transfer {
    std::array<std::string, kDiaryValueCount + 1> values;
    std::vector<std::pair<int, std::string>> entries;
    std::vector<std::pair<int, std::string>> logLines;  // level (kPlainLog: WriteLog), text
};

std::string DiaryInterface::CreateDataFile(DayFiles& dayFiles, double now) {
    if (dayFiles.AssignTextFile('I') && files_.WriteAll(dayFiles.DiaryDataPath(), "", false).ok()) {
        return dayFiles.DiaryDataPath();
    }
    const std::string name = "$$BTB_Daten_" + FormatDateTime("yyyymmdd_hhnnss_zzz", now) + ".log";
    log_.WriteLog("Ersatzdatei " + name + " für Tagebuchdaten !");
    const std::string path = dayFiles.PathOf(name);
    return files_.WriteAll(path, "", false).ok() ? path : std::string();
}

void DiaryInterface::TransferDiaryData(DayFiles& dayFiles, const DiaryTransferSources& sources) {
    try {
        const std::map<int, std::string> kept =
            sources.gridOfTheDay ? std::map<int, std::string>{} : ValuesInFile(dayFiles);
        Transfer transfer = CollectTransfer(sources, kept);
        const std::string bytes = Utf8ToCp1252(DiaryDataText(transfer.entries));
        if (dayFiles.AssignTextFile('I') &&
            files_.WriteScratch(dayFiles.DiaryDataPath(), bytes).ok()) {
            Apply(transfer);
            return;
        }
        const std::string path = CreateDataFile(dayFiles, sources.now);
        if (path.empty()) {
            return;
        }
        Apply(transfer);
        if (!files_.WriteAll(path, bytes, false).ok()) {
            log_.WriteLog("Fehler beim Schreiben der Tagebuchdaten !");
        }
    } catch (const std::exception&) {
        log_.WriteLog("Allgemeiner Fehler beim Schreiben der Tagebuchdaten !");
    }
}

std::map<int, std::string> DiaryInterface::ValuesInFile(DayFiles& dayFiles) const {
    std::map<int, std::string> values;
    if (!dayFiles.AssignTextFile('I')) {
        return values;
    }
    const std::vector<std::string> lines = ReadLines(files_, dayFiles.DiaryDataPath()).value_or({});
    for (std::size_t k = 0; k + 1 < lines.size(); k += 2) {
        if (const auto index = StrToInt(lines[k])) {
            values[index.value()] = Cp1252ToUtf8(lines[k + 1]);
        }
    }
    return values;
}

bool DiaryInterface::FromGrid(const DiaryBinding& binding, const DiaryTransferSources& sources) {
    const int type = binding.transferType + 1;
    const int n = binding.itemNumber;
    return (type >= 1 && type <= 3) ||
           (type == 4 && n <= sources.itemCount && n <= maxItems && !sources.items[n].Integral);
}

DiaryInterface::Transfer DiaryInterface::CollectTransfer(
    const DiaryTransferSources& sources, const std::map<int, std::string>& kept) const {
    const int weekday = DayOfWeek(sources.cycleTime);
    const double timeOfDay = TimeOfDayOf(sources.cycleTime);
    Transfer transfer{values_, {}, {}};
    for (const DiaryBinding& binding : bindings_) {
        if (binding.itemNumber <= 0 || !ValidDiaryIndex(binding.diaryIndex)) {
            continue;
        }
        std::string& value = transfer.values[static_cast<std::size_t>(binding.diaryIndex)];
        if (!Active(binding, sources, weekday, timeOfDay, transfer.logLines)) {
            transfer.logLines.emplace_back(
                kTransferLogLevel,
                "Tagebuchwert NICHT geschrieben für: " + binding.name + "=" + value);
            continue;
        }
        if (!sources.gridOfTheDay && FromGrid(binding, sources)) {
            const auto earlier = kept.find(binding.diaryIndex);
            if (earlier == kept.end()) {
                continue;
            }
            value = earlier->second;
        } else {
            value = ValueText(binding, sources);
        }
        transfer.logLines.emplace_back(kTransferLogLevel,
                                       "Tagebuchwert gesetzt: " + binding.name + "=" + value);
        transfer.entries.emplace_back(binding.diaryIndex, value);
    }
    return transfer;
}

void DiaryInterface::Apply(Transfer& transfer) {
    values_ = std::move(transfer.values);
    for (const auto& [level, text] : transfer.logLines) {
        if (level == kPlainLog) {
            log_.WriteLog(text);
        } else {
            log_.WriteLogLevel(level, text);
        }
    }
}

bool DiaryInterface::Active(const DiaryBinding& binding, const DiaryTransferSources& sources,
                            int weekday, double timeOfDay,
                            std::vector<std::pair<int, std::string>>& logLines) const {
    if (!binding.timeRestricted) {
        return true;
    }
    const bool known = binding.itemNumber <= sources.itemCount && binding.itemNumber <= maxItems;
    const TimeFrame frame = known ? sources.items[binding.itemNumber].timeFrame : TimeFrame{};
    double lo = 0.0;
    double hi = 0.0;
    if (binding.timeFrameMode == 0) {
        lo = frame.frameStart;
        hi = frame.frameEnd;
    } else if (binding.timeFrameMode == 1) {
        lo = frame.frameEnd;
        hi = frame.frameStart;
    } else {
        logLines.emplace_back(kPlainLog, "Fehler im Zeitrahmen (Tagebuchübergabe) !");
    }
    bool active = hi > lo ? lo <= timeOfDay && timeOfDay < hi : timeOfDay < hi || timeOfDay >= lo;
    if (Bit(binding.neverMask, weekday)) {
        active = false;
    }
    return active || Bit(binding.allDayMask, weekday);
}

std::string DiaryInterface::ValueText(const DiaryBinding& binding,
                                      const DiaryTransferSources& sources) const {
    const int n = binding.itemNumber;
    if (n > sources.itemCount || n > maxItems) {
        return kDiaryMissingValue;
    }
    const ItemConfig& item = sources.items[n];
    const ItemStatistics& statistics = sources.statistics[n];
    const MovingAverageState& moving = sources.moving[n];
    const LiveGrid& grid = sources.grid;
    switch (binding.transferType + 1) {
        case 1:
            // An analog item without a value today has no mean (the grid shows 0).
            return item.Grafiktyp == 1 && statistics.count <= 0.0 ? kDiaryMissingValue
                                                                  : grid.Cell(n, 1);
        case 2:
            return statistics.minimum < 999999.0 ? grid.Cell(n, 2) : kDiaryMissingValue;
        case 3:
            return statistics.maximum > -999999.0 ? grid.Cell(n, 3) : kDiaryMissingValue;
        case 4:
            if (item.Integral) {
                return FormatGeneral(item.mirror.mirrorOn
                                         ? statistics.sum
                                         : RunningSumAt(item, sources.integration[n],
                                                        sources.cycleTime, sources.cycleElapsedMs),
                                     sources.locale);
            }
            return grid.Cell(n, item.Grafiktyp == 1 && item.Differenz ? 5 : 4);
        case 5:
            return moving.movingMinimum <= 999999.0
                       ? FormatGeneral(moving.movingMinimum, sources.locale)
                       : kDiaryMissingValue;
        case 6:
            return moving.movingMaximum >= -999999.0
                       ? FormatGeneral(moving.movingMaximum, sources.locale)
                       : kDiaryMissingValue;
        default:
            return kDiaryMissingValue;
    }
}

}  // namespace tarvedde
